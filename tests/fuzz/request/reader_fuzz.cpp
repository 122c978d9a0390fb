// The request reader as a CGI host drives it. Input: the REQUEST_METHOD line, the
// CONTENT_LENGTH line, then the body (for a GET also the QUERY_STRING). A line that is exactly
// "-" leaves its variable unset.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "fuzz.h"
#include "request.h"

namespace {

constexpr size_t body_cap = 1025;

struct Input {
    std::string method, length, body;
    bool has_method, has_length;
};

bool take_line(std::string &rest, std::string &line)
{
    const size_t end = rest.find('\n');
    if (end == std::string::npos)
        return false;
    line = rest.substr(0, end);
    rest.erase(0, end + 1);
    return true;
}

void set_variable(const char *name, bool present, const std::string &value)
{
    if (present)
        setenv(name, value.c_str(), 1);
    else
        unsetenv(name);
}

// How many bytes the reader must store: the declared length by strtol's rules bounds it
// (a negative one never), as do the body's end and the cap.
size_t expected_size(const std::string &length, size_t body_size)
{
    errno = 0;
    const long declared = strtol(length.c_str(), nullptr, 10);
    size_t size = body_size < body_cap ? body_size : body_cap;
    if (declared >= 0 && static_cast<unsigned long>(declared) < size)
        size = static_cast<size_t>(declared);
    return size;
}

void check(const Input &input, FILE *body)
{
    std::string method = input.method;
    char *text = getcgidata(body, input.has_method ? method.data() : nullptr);
    const long consumed = ftell(body);

    if (input.has_method && method == "GET") {
        fuzz::require(text == getenv("QUERY_STRING"), "a GET gives the query string itself");
        fuzz::require(consumed == 0, "a GET reads no body");
        return;
    }
    if (!input.has_method || method != "POST" || !input.has_length) {
        fuzz::require(text == nullptr, "no text without POST and CONTENT_LENGTH");
        fuzz::require(consumed == 0, "no body read without POST and CONTENT_LENGTH");
        return;
    }
    fuzz::require(text != nullptr, "a POST with a length gives a text");
    const size_t size = expected_size(input.length, input.body.size());
    fuzz::require(memcmp(text, input.body.data(), size) == 0 && text[size] == '\0',
                  "the text is the body's first " + std::to_string(size) + " bytes");
    fuzz::require(consumed == static_cast<long>(size), "the reader reads no byte it keeps not");

    // What the frame does next: the parse, and the answer built from it prints as JSON.
    cgi::Json request(json_tokener_parse(text));
    free(text);
    cgi::Json answer(json_object_new_object());
    cgi::add_field(answer.get(), "text", input.body.data(), size);
    json_object_object_add(answer.get(), "keys",
                           json_object_new_int(json_object_is_type(request.get(), json_type_object)
                                                   ? json_object_object_length(request.get())
                                                   : -1));
    cgi::Json printed(fuzz::parse_strict(fuzz::printed_answer(answer.get())));
    fuzz::require(printed.get() != nullptr, "the answer is valid UTF-8 JSON");
    fuzz::require(fuzz::keys_of(printed.get()) == "text,keys", "the answer keeps its members");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string rest(reinterpret_cast<const char *>(data), size);
    Input input;
    if (!take_line(rest, input.method) || !take_line(rest, input.length))
        return -1;
    // The environment holds C strings: what follows a zero byte never reaches the reader.
    input.method = input.method.c_str();
    input.length = input.length.c_str();
    input.has_method = input.method != "-";
    input.has_length = input.length != "-";
    input.body = rest;
    set_variable("REQUEST_METHOD", input.has_method, input.method);
    set_variable("CONTENT_LENGTH", input.has_length, input.length);
    set_variable("QUERY_STRING", true, input.body.c_str());

    static FILE *body = fdopen(fuzz::memory_file(), "w+");
    fuzz::require(body != nullptr && ftruncate(fileno(body), 0) == 0, "no file for the body");
    rewind(body);
    fwrite(input.body.data(), 1, input.body.size(), body);
    fflush(body);
    rewind(body);
    check(input, body);
    return 0;
}
