#include "request.h"

#include <cstdlib>
#include <cstring>

#include "sharememory.h"

namespace {

/* One byte more than the 1024 the pages ever send; the pages rely on this exact cut. */
constexpr long body_cap = 1025;

} // namespace

char *getcgidata(FILE *fp, char *requestmethod)
{
    if (requestmethod == nullptr)
        return nullptr;
    if (strcmp(requestmethod, "GET") == 0)
        return getenv("QUERY_STRING");
    if (strcmp(requestmethod, "POST") != 0)
        return nullptr;

    long declared = 0;
    if (!cgi::declared_length(&declared))
        return nullptr;

    char *buffer = static_cast<char *>(calloc(body_cap + 1, 1));
    if (buffer == nullptr)
        return nullptr;

    /* A negative length is never reached: such a body is read to its end, within the cap. */
    long stored = 0;
    for (long read = 0; read != declared && stored < body_cap; ++read) {
        int byte = fgetc(fp);
        if (byte == EOF)
            break;
        buffer[stored++] = static_cast<char>(byte);
    }
    buffer[stored] = '\0';
    return buffer;
}

namespace cgi {

json_object *member(json_object *request, const char *key)
{
    json_object *value = nullptr;
    return json_object_object_get_ex(request, key, &value) ? value : nullptr;
}

bool has(json_object *request, const char *key)
{
    return json_object_object_get_ex(request, key, nullptr) != 0;
}

void print_header()
{
    puts(CGI_HEADER_LINE);
}

void print_answer(json_object *answer)
{
    printf("%s", json_object_to_json_string(answer));
}

int serve(Attach order, Work work)
{
    if (order == Attach::before_header)
        InitShareMemory();
    print_header();

    char *method = getenv("REQUEST_METHOD");
    char *text = getcgidata(stdin, method);
    Json request(text != nullptr ? json_tokener_parse(text) : nullptr);
    if (method != nullptr && strcmp(method, "POST") == 0)
        free(text);

    if (order == Attach::after_header)
        InitShareMemory();

    Json answer(json_object_new_object());
    if (answer.get() == nullptr)
        return 1;
    work(request.get(), answer.get());
    print_answer(answer.get());
    return 0;
}

} // namespace cgi
