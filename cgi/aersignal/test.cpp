// The signal quality of both antennas. The pages parse "log" a second time, so the values travel
// as the JSON text of an inner object rather than as members of the answer.
#include "request.h"
#include "sharememory.h"

namespace {

void work(const cgi::Request &, json_object *answer)
{
    cgi::Json inner(json_object_new_object());
    cgi::add_int(inner.get(), "Ant1SQI", GetMasterAntennaSQI());
    cgi::add_int(inner.get(), "Ant2SQI", GetSlaveAntennaSQI());
    cgi::add_string(answer, "Res", "ok");
    cgi::add_string(answer, "log", json_object_to_json_string(inner.get()));
}

} // namespace

int main()
{
    return cgi::serve({cgi::Attach::before_header, work, {"Res", "unavailable", 0}});
}
