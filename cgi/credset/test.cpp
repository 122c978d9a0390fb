// The login of the web pages: shows the user name, and changes name and password together when
// the request proves the current password. The daemon is not told of a changed login.
#include <cstdint>
#include <cstring>

#include "request.h"
#include "sharememory.h"

namespace {

constexpr size_t field_size = sizeof(ReceiverConfig::user);
static_assert(sizeof(ReceiverConfig::pawd) == field_size, "name and password share a width");

/* The first 16 characters, zero bytes after a shorter text, no NUL after a full one. */
void write_field(CONFIG_ENTRY entry, const char *text)
{
    uint8_t field[field_size] = {};
    memcpy(field, text, strnlen(text, field_size));
    SetReceiverConfigParaToShareMemory(entry, field);
}

/* The byte after the field stays zero, so a full field still reads as a string. */
struct Stored {
    char text[field_size + 1] = {};
};

Stored read_field(CONFIG_ENTRY entry)
{
    Stored stored;
    GetReceiverConfigParaFromShareMemory(entry, stored.text);
    return stored;
}

void add_int(json_object *answer, const char *key, int value)
{
    json_object_object_add(answer, key, json_object_new_int(value));
}

/* A missing or null text never matches and is never stored. */
bool change(json_object *request)
{
    const Stored password = read_field(ENTRY_PAWD);
    json_object *name = cgi::member(request, "name");
    json_object *new_pass = cgi::member(request, "newPass");
    json_object *old_pass = cgi::member(request, "oldPass");
    if (name == nullptr || new_pass == nullptr || old_pass == nullptr)
        return false;
    /* Whole strings: 16 matching characters followed by more do not match. */
    if (strcmp(json_object_get_string(old_pass), password.text) != 0)
        return false;

    write_field(ENTRY_USER, json_object_get_string(name));
    write_field(ENTRY_PAWD, json_object_get_string(new_pass));
    return true;
}

void work(json_object *request, json_object *answer)
{
    if (cgi::has(request, "name")) {
        add_int(answer, "Res", change(request) ? 0 : -1);
        return;
    }
    json_object_object_add(answer, "name", json_object_new_string(read_field(ENTRY_USER).text));
    add_int(answer, "Res", 0);
}

} // namespace

int main()
{
    return cgi::serve(cgi::Attach::before_header, work);
}
