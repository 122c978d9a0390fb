// The login of the web pages: shows the user name, and changes name and password together when
// the request proves the current password. The daemon is not told of a changed login.
#include <cstdint>
#include <cstring>

#include "request.h"
#include "sharememory.h"
#include "utf8.h"

namespace {

constexpr size_t field_size = sizeof(ReceiverConfig::user);
static_assert(sizeof(ReceiverConfig::pawd) == field_size, "name and password share a width");

/* The first 16 bytes, cut after a whole character, zero bytes after a shorter text, no NUL
 * after a full one. */
struct Field {
    uint8_t bytes[field_size] = {};
    explicit Field(const char *text) { memcpy(bytes, text, utf8::cut(text, field_size)); }
};

/* The byte after the field stays zero, so a full field still reads as a string. */
struct Stored {
    char text[field_size + 1] = {};
};

bool read_field(CONFIG_ENTRY entry, Stored &stored)
{
    return GetReceiverConfigParaFromShareMemory(entry, stored.text) == 0;
}

/* The check and both writes are one hold of the lock: the new login is stored only while the
 * password is still the one that was checked, so two changes at once cannot mix. A missing or
 * null text never matches and is never stored. */
bool change(json_object *request)
{
    json_object *name = cgi::member(request, "name");
    json_object *new_pass = cgi::member(request, "newPass");
    json_object *old_pass = cgi::member(request, "oldPass");
    if (name == nullptr || new_pass == nullptr || old_pass == nullptr)
        return false;
    Stored password;
    if (!read_field(ENTRY_PAWD, password))
        return false;
    /* Whole strings: 16 matching characters followed by more do not match. */
    if (strcmp(json_object_get_string(old_pass), password.text) != 0)
        return false;

    const Field user(json_object_get_string(name));
    const Field pawd(json_object_get_string(new_pass));
    const ConfigSwap login[] = {
        {ENTRY_PAWD, password.text, pawd.bytes},
        {ENTRY_USER, nullptr, user.bytes},
    };
    return SwapReceiverConfigParaInShareMemory(login, 2) == 0;
}

void work(const cgi::Request &request, json_object *answer)
{
    if (cgi::has(request.object, "name")) {
        cgi::add_int(answer, "Res", change(request.object) ? 0 : -1);
        return;
    }
    Stored user;
    if (!read_field(ENTRY_USER, user))
        return;
    cgi::add_string(answer, "name", user.text);
    cgi::add_int(answer, "Res", 0);
}

} // namespace

int main()
{
    return cgi::serve({cgi::Attach::before_header, work, {"Res", nullptr, -1}});
}
