// The request reader, in a file of its own: aerkind links the frame with a reader of its own
// under the same name.
#include <cstdlib>
#include <cstring>

#include "request.h"

namespace {

/* One byte more than the 1024 the pages ever send; the pages rely on this exact cut. */
constexpr long body_cap = 1025;

} // namespace

char *getcgidata(FILE *fp, char *requestmethod)
{
    if (requestmethod == nullptr)
        return nullptr;
    if (strcmp(requestmethod, "GET") == 0)
        return getenv("QUERY_STRING");
    if (strcmp(requestmethod, "POST") != 0)
        return nullptr;

    long declared = 0;
    if (!cgi::declared_length(&declared))
        return nullptr;

    char *buffer = static_cast<char *>(calloc(body_cap + 1, 1));
    if (buffer == nullptr)
        return nullptr;

    /* A negative length is never reached: such a body is read to its end, within the cap. */
    long stored = 0;
    for (long read = 0; read != declared && stored < body_cap; ++read) {
        int byte = fgetc(fp);
        if (byte == EOF)
            break;
        buffer[stored++] = static_cast<char>(byte);
    }
    buffer[stored] = '\0';
    return buffer;
}
