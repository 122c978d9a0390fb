// The signal quality of both antennas. The pages parse "log" a second time, so the values travel
// as the JSON text of an inner object rather than as members of the answer.
#include "request.h"
#include "sharememory.h"

namespace {

void work(json_object *, json_object *answer)
{
    cgi::Json inner(json_object_new_object());
    json_object_object_add(inner.get(), "Ant1SQI", json_object_new_int(GetMasterAntennaSQI()));
    json_object_object_add(inner.get(), "Ant2SQI", json_object_new_int(GetSlaveAntennaSQI()));
    json_object_object_add(answer, "Res", json_object_new_string("ok"));
    json_object_object_add(answer, "log",
                           json_object_new_string(json_object_to_json_string(inner.get())));
}

} // namespace

int main()
{
    return cgi::serve(cgi::Attach::before_header, work);
}
