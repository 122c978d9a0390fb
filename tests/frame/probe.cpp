// Answers {"request": <the parsed request, or null>}; attaches before the header line when
// started with --attach-first.
#include <cstring>

#include "request.h"

namespace {

void work(const cgi::Request &request, json_object *answer)
{
    json_object_object_add(answer, "request", json_object_get(request.object));
}

} // namespace

int main(int argc, char **argv)
{
    bool attach_first = argc > 1 && strcmp(argv[1], "--attach-first") == 0;
    return cgi::serve(
        {attach_first ? cgi::Attach::before_header : cgi::Attach::after_header, work});
}
