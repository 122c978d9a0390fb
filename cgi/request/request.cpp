#include "request.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "sharememory.h"
#include "utf8.h"

namespace {

bool is_post(const char *method)
{
    return method != nullptr && strcmp(method, "POST") == 0;
}

json_object *failure_answer(const cgi::Failure &failure)
{
    json_object *answer = json_object_new_object();
    if (answer == nullptr)
        return nullptr;
    if (failure.text != nullptr)
        cgi::add_string(answer, failure.key, failure.text);
    else
        cgi::add_int(answer, failure.key, failure.number);
    return answer;
}

} // namespace

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

void add_int(json_object *answer, const char *key, int value)
{
    json_object_object_add(answer, key, json_object_new_int(value));
}

void add_string(json_object *answer, const char *key, const char *text)
{
    json_object_object_add(answer, key, json_object_new_string(text));
}

void add_field(json_object *answer, const char *key, const void *field, size_t size)
{
    const char *text = static_cast<const char *>(field);
    json_object_object_add(answer, key,
                           json_object_new_string_len(text, static_cast<int>(strnlen(text, size))));
}

void print_header()
{
    puts(CGI_HEADER_LINE);
}

void print_answer(json_object *answer)
{
    std::string_view text = json_object_to_json_string(answer);
    if (utf8::valid(text))
        fwrite(text.data(), 1, text.size(), stdout);
    else
        fputs(utf8::repaired(text).c_str(), stdout);
}

int serve(const Program &program)
{
    if (program.order == Attach::before_header)
        InitShareMemory();
    print_header();

    char *method = getenv("REQUEST_METHOD");
    Request request = {nullptr, nullptr};
    Json parsed;
    if (program.reader != nullptr) {
        request.text = program.reader(stdin, method);
    } else {
        char *text = getcgidata(stdin, method);
        parsed = Json(text != nullptr ? json_tokener_parse(text) : nullptr);
        if (is_post(method))
            free(text);
        request.object = parsed.get();
    }

    if (program.order == Attach::after_header)
        InitShareMemory();

    Json answer(json_object_new_object());
    if (answer.get() == nullptr)
        return 1;
    const unsigned lost = ShareMemoryLocksLost();
    program.work(request, answer.get());
    if (ShareMemoryLocksLost() != lost)
        answer = Json(failure_answer(program.failure));
    if (answer.get() == nullptr)
        return 1;
    print_answer(answer.get());
    return 0;
}

} // namespace cgi
