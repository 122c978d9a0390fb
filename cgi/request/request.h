/* The request frame: reading the CGI request, the envelope every program answers in, and what
 * a program answers when the store fails it. */
#ifndef REQUEST_REQUEST_H
#define REQUEST_REQUEST_H

#include <cstddef>
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

/* Where a program attaches the shared records relative to printing the header line. It
 * decides what a client sees when attaching fails: the header block and no body, or nothing.
 * A program that uses no record never attaches. */
enum class Attach { after_header, before_header, never };

/* What a program read: the reader's text as it gave it, and the request object parsed from
 * it (null when absent, not JSON, or not parsed at all). */
struct Request {
    const char *text;
    json_object *object;
};

/* A program's own work: read keys of the request, read or change the records, add members to
 * the answer object. */
using Work = void (*)(const Request &request, json_object *answer);

/* A request reader with getcgidata's contract. */
using Reader = char *(*)(FILE *fp, char *requestmethod);

/* The one-member answer a program gives instead of its own when the store lost a lock during
 * its work: the key and either a text or, when text is null, a number. */
struct Failure {
    const char *key;
    const char *text;
    int number;
};

inline constexpr Failure failed = {"Res", "failed", 0};

struct Program {
    Attach order;
    Work work;
    Failure failure = failed;
    /* A program's own reader (aerkind's upload reader): its text is handed to the work as it
     * is, neither parsed nor released. Null: getcgidata, parsed as JSON. */
    Reader reader = nullptr;
};

/* Runs one request through the whole frame: attach, header line, request, answer object, the
 * work, and the printed answer (no line feed after it), or the failure answer when the store
 * lost a lock meanwhile. Returns the exit status. */
int serve(const Program &program);

/* The value of key when the request is an object holding it, else null. A key whose value is
 * JSON null also gives null: ask has() where presence alone decides. */
json_object *member(json_object *request, const char *key);
bool has(json_object *request, const char *key);

void add_int(json_object *answer, const char *key, int value);
void add_string(json_object *answer, const char *key, const char *text);
/* A fixed-size text field of a record: its bytes up to the first NUL, or all of them. */
void add_field(json_object *answer, const char *key, const void *field, size_t size);

void print_header();
/* Prints the answer's JSON text, with any byte sequence that is not UTF-8 (from a record or a
 * file) as U+FFFD, so every answer is valid UTF-8. */
void print_answer(json_object *answer);

} // namespace cgi

#endif
