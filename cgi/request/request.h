/* The request frame: reading the CGI request, and the envelope every endpoint answers in. */
#ifndef REQUEST_REQUEST_H
#define REQUEST_REQUEST_H

#include <cstdio>
#include <cstdlib>
#include <utility>

#include <json-c/json.h>

/* The header block, printed with puts: the client receives the header, a line feed and an
 * empty line. The pages rely on it as it stands. */
#define CGI_HEADER_LINE "Content-type: application/text;charset=utf-8\n"

/* The request text: for "GET" the query string itself (not decoded, never released); for
 * "POST" at most 1025 bytes of the body, in a buffer the caller frees; otherwise null. A POST
 * without CONTENT_LENGTH, or whose buffer cannot be had, gives null too. */
char *getcgidata(FILE *fp, char *requestmethod);

namespace cgi {

/* The declared body length, by strtol's rules ("12abc" is 12, no digits is 0); false when the
 * host set no CONTENT_LENGTH. Both request readers take it from here. */
inline bool declared_length(long *length)
{
    const char *text = getenv("CONTENT_LENGTH");
    if (text == nullptr)
        return false;
    *length = strtol(text, nullptr, 10);
    return true;
}

/* Owns one json-c reference and puts it when it goes out of scope. */
class Json {
public:
    explicit Json(json_object *object = nullptr) : object_(object) {}
    Json(Json &&other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Json &operator=(Json &&other) noexcept
    {
        std::swap(object_, other.object_);
        return *this;
    }
    Json(const Json &) = delete;
    Json &operator=(const Json &) = delete;
    ~Json() { json_object_put(object_); }

    json_object *get() const { return object_; }
    /* Hands the reference over, for json-c calls that take it (object_add, array_add). */
    json_object *release() { return std::exchange(object_, nullptr); }

private:
    json_object *object_;
};

/* Where an endpoint attaches the shared records relative to printing the header line. It
 * decides what a client sees when attaching fails: the header block and no body, or nothing. */
enum class Attach { after_header, before_header };

/* An endpoint's own work: read keys of the request (null when absent or not JSON), read or
 * change the records, add members to the answer object. */
using Work = void (*)(json_object *request, json_object *answer);

/* Runs one request through the whole frame: header line, request, parse, attach, answer
 * object, the work, the printed answer (no line feed after it). Returns the exit status. */
int serve(Attach order, Work work);

/* The value of key when the request is an object holding it, else null. A key whose value is
 * JSON null also gives null: ask has() where presence alone decides. */
json_object *member(json_object *request, const char *key);
bool has(json_object *request, const char *key);

void print_header();
void print_answer(json_object *answer);

} // namespace cgi

#endif
