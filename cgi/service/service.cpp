#include "service.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "change.h"
#include "request.h"
#include "utf8.h"

namespace service {

namespace {

/* The number of a code is its place here, counted from 1. The query tests them in this
 * order, so a stored text holding both "eu" and "us" answers 1. */
const char *const region_codes[] = {"us", "eu", "au", "ap", "jp", "sa", "in"};
constexpr int region_count = sizeof region_codes / sizeof region_codes[0];

void add_result(json_object *answer, bool done)
{
    cgi::add_string(answer, "Res", done ? "success" : "failed");
}

/* At most size - 1 bytes, cut after a whole character, and a NUL; the bytes after the NUL
 * keep what the store held. */
void bounded_copy(uint8_t *field, size_t size, const char *text)
{
    size_t length = utf8::cut(text, size - 1);
    memcpy(field, text, length);
    field[length] = '\0';
}

std::string_view field_text(const uint8_t *field, size_t size)
{
    const char *text = reinterpret_cast<const char *>(field);
    return {text, strnlen(text, size)};
}

void set_region(const Region &region, uint8_t *record, json_object *request)
{
    int number = json_object_get_int(cgi::member(request, region.key));
    if (number < 1 || number > region_count)
        return;
    /* Two letters and the NUL; the fourth byte stays as stored. */
    memcpy(record + region.offset, region_codes[number - 1], 3);
}

int region_number(const Region &region, const uint8_t *record)
{
    std::string_view text = field_text(record + region.offset, 4);
    for (int number = 1; number <= region_count; ++number)
        if (text.find(region_codes[number - 1]) != std::string_view::npos)
            return number;
    return 0;
}

/* Announced to the daemon, or not kept at all. */
void store_and_post(const Description &service, const uint8_t *before, uint8_t *after,
                    json_object *answer, int enable)
{
    after[service.enable_offset] = static_cast<uint8_t>(enable);
    cgi::add_int(answer, "State", enable);
    add_result(answer, cgi::announce_change(service.entry, before, after, service.operation));
}

void set(const Description &service, const uint8_t *before, uint8_t *after, json_object *request,
         json_object *answer)
{
    for (size_t i = 0; i < service.text_count; ++i) {
        const Text &text = service.texts[i];
        /* An absent or null key keeps the stored text rather than storing the word null. */
        json_object *value = cgi::member(request, text.key);
        if (value == nullptr)
            continue;
        bounded_copy(after + text.offset, text.size, json_object_get_string(value));
    }
    if (service.region != nullptr)
        set_region(*service.region, after, request);
    store_and_post(service, before, after, answer, 1);
}

void query(const Description &service, const uint8_t *record, json_object *answer)
{
    for (size_t i = 0; i < service.text_count; ++i) {
        const Text &text = service.texts[i];
        std::string_view stored = field_text(record + text.offset, text.size);
        stored = stored.substr(0, utf8::cut(stored, text.answer_cut));
        json_object_object_add(
            answer, text.key,
            json_object_new_string_len(stored.data(), static_cast<int>(stored.size())));
    }
    if (service.region != nullptr)
        cgi::add_int(answer, service.region->key, region_number(*service.region, record));
    cgi::add_int(answer, "State", record[service.enable_offset]);
    add_result(answer, true);
}

} // namespace

void work(const Description &service, json_object *request, json_object *answer)
{
    uint8_t before[max_record] = {};
    if (GetReceiverConfigParaFromShareMemory(service.entry, before) != 0)
        return;
    uint8_t after[max_record];
    memcpy(after, before, sizeof after);

    if (cgi::has(request, "key"))
        store_and_post(service, before, after, answer, 0);
    else if (cgi::has(request, "RN"))
        set(service, before, after, request, answer);
    else
        query(service, before, answer);
}

} // namespace service
