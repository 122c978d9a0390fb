// libFuzzer target for the upload reader (built by fuzz.sh with clang). The input's first line
// is the CONTENT_TYPE (an empty first line: none), the rest the body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "multipart_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    size_t line_end = input.find('\n');
    if (line_end == std::string::npos)
        return 0;
    std::string content_type = input.substr(0, line_end);
    std::string body = input.substr(line_end + 1);
    const char *type = content_type.empty() ? nullptr : content_type.c_str();
    if (!antenna::split_invariant(type, body, static_cast<uint32_t>(size)))
        abort();
    return 0;
}
