// The upgrade progress for the page's progress bar. Reading it tells the daemon that its last
// value has been seen, so every request counts as a read.
#include <cstdio>

#include "request.h"
#include "sharememory.h"

namespace {

void work(json_object *, json_object *answer)
{
    /* The pages show the text as it comes; values far beyond 100 are cut, never overrun. */
    char text[32] = {};
    snprintf(text, sizeof text, "%.2f", static_cast<double>(GetMonitorUpgradeProgress()));
    json_object_object_add(answer, "res", json_object_new_string(text));
}

} // namespace

int main()
{
    return cgi::serve(cgi::Attach::before_header, work);
}
