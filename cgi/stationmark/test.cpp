// The base station ID: shown, or set and announced to the daemon.
#include <cstdint>
#include <cstring>

#include "request.h"
#include "sharememory.h"

namespace {

constexpr size_t id_size = sizeof(ReceiverConfig::StationID);

void set(const char *text, json_object *answer)
{
    /* The first 16 characters, zero bytes after a shorter text, no NUL after a full one. */
    uint8_t field[id_size] = {};
    memcpy(field, text, strnlen(text, id_size));
    SetReceiverConfigParaToShareMemory(ENTRY_STATION_ID, field);
    if (PostMonitorOperate(ENTRY_SID_OP) != 0)
        json_object_object_add(answer, "Res", json_object_new_string("failed"));
}

void query(json_object *answer)
{
    char stored[id_size + 1] = {};
    GetReceiverConfigParaFromShareMemory(ENTRY_STATION_ID, stored);
    json_object_object_add(answer, "id", json_object_new_string(stored));
}

void work(json_object *request, json_object *answer)
{
    /* A null "id" would store the word null: it is taken as no "id" at all. */
    json_object *id = cgi::member(request, "id");
    if (id == nullptr)
        query(answer);
    else
        set(json_object_get_string(id), answer);
}

} // namespace

int main()
{
    return cgi::serve(cgi::Attach::after_header, work);
}
