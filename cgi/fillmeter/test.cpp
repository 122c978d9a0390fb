// The upgrade progress for the page's progress bar. Reading it tells the daemon that its last
// value has been seen, so every request counts as a read.
#include <cstdio>

#include "request.h"
#include "sharememory.h"

namespace {

void work(const cgi::Request &, json_object *answer)
{
    /* The pages show the text as it comes; values far beyond 100 are cut, never overrun. */
    char text[32] = {};
    snprintf(text, sizeof text, "%.2f", static_cast<double>(GetMonitorUpgradeProgress()));
    cgi::add_string(answer, "res", text);
}

} // namespace

int main()
{
    /* A string as the progress is, so the pages show it where they show the value. */
    return cgi::serve({cgi::Attach::before_header, work, {"res", "unavailable", 0}});
}
