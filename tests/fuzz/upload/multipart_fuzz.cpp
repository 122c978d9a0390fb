// The upload reader. Input: the CONTENT_TYPE line (an empty line: none), then the body.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz.h"
#include "multipart_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t line_end = input.find('\n');
    if (line_end == std::string::npos)
        return -1;
    const std::string content_type = input.substr(0, line_end);
    const std::string body = input.substr(line_end + 1);
    const char *type = content_type.empty() ? nullptr : content_type.c_str();

    antenna::Parsed whole;
    fuzz::require(antenna::split_invariant(type, body, static_cast<uint32_t>(size), &whole),
                  "the same outcome and content however the body is split");
    // Parts pass through undecoded: what is stored is a piece of the body.
    if (whole.outcome == multipart::Outcome::stored)
        fuzz::require(body.find(whole.content) != std::string::npos,
                      "the stored content is bytes of the body");
    return 0;
}
