// The base station ID: shown, or set and announced to the daemon.
#include <cstdint>
#include <cstring>

#include "change.h"
#include "request.h"
#include "sharememory.h"
#include "utf8.h"

namespace {

constexpr size_t id_size = sizeof(ReceiverConfig::StationID);

void set(const char *text, json_object *answer)
{
    uint8_t before[id_size] = {};
    if (GetReceiverConfigParaFromShareMemory(ENTRY_STATION_ID, before) != 0)
        return;
    /* The first 16 bytes, cut after a whole character, zero bytes after a shorter text, no
     * NUL after a full one. */
    uint8_t after[id_size] = {};
    memcpy(after, text, utf8::cut(text, id_size));
    if (!cgi::announce_change(ENTRY_STATION_ID, before, after, ENTRY_SID_OP))
        cgi::add_string(answer, "Res", "failed");
}

void query(json_object *answer)
{
    uint8_t stored[id_size] = {};
    if (GetReceiverConfigParaFromShareMemory(ENTRY_STATION_ID, stored) == 0)
        cgi::add_field(answer, "id", stored, sizeof stored);
}

void work(const cgi::Request &request, json_object *answer)
{
    /* A null "id" would store the word null: it is taken as no "id" at all. */
    json_object *id = cgi::member(request.object, "id");
    if (id == nullptr)
        query(answer);
    else
        set(json_object_get_string(id), answer);
}

} // namespace

int main()
{
    return cgi::serve({cgi::Attach::after_header, work});
}
