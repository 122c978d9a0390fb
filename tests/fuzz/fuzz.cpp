#include "fuzz.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include "request.h"
#include "sharememory.h"

namespace fuzz {

const char *current_input = nullptr;

void broken(const std::string &what)
{
    fprintf(stderr, "invariant broken: %s\n", what.c_str());
    if (current_input != nullptr)
        fprintf(stderr, "input: %s\n", current_input);
    abort();
}

void attach_private_store()
{
    if (unshare(CLONE_NEWIPC) != 0) {
        perror("unshare(CLONE_NEWIPC), needed for a store of the fuzzer's own (run as root)");
        exit(2);
    }
    InitShareMemory();
}

int memory_file()
{
    const int fd = memfd_create("fuzz", 0);
    require(fd >= 0, "no file in memory");
    return fd;
}

std::string printed_answer(json_object *answer)
{
    // Standard output goes to a file for the one call, so the frame's own printing is what
    // is checked.
    static const int fd = memory_file();
    static const int saved = dup(STDOUT_FILENO);
    require(saved >= 0, "cannot keep standard output");
    fflush(stdout);
    require(ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0 && dup2(fd, STDOUT_FILENO) >= 0,
            "cannot capture standard output");
    cgi::print_answer(answer);
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);

    std::string text;
    char chunk[4096];
    ssize_t got;
    for (off_t at = 0; (got = pread(fd, chunk, sizeof chunk, at)) > 0; at += got)
        text.append(chunk, static_cast<size_t>(got));
    return text;
}

json_object *parse_strict(const std::string &text)
{
    json_tokener *tokener = json_tokener_new();
    if (tokener == nullptr)
        return nullptr;
    json_tokener_set_flags(tokener, JSON_TOKENER_STRICT | JSON_TOKENER_VALIDATE_UTF8);
    json_object *object =
        json_tokener_parse_ex(tokener, text.c_str(), static_cast<int>(text.size()));
    const bool whole = json_tokener_get_error(tokener) == json_tokener_success &&
                       json_tokener_get_parse_end(tokener) == text.size();
    json_tokener_free(tokener);
    if (!whole) {
        json_object_put(object);
        return nullptr;
    }
    return object;
}

std::string keys_of(json_object *object)
{
    std::string keys;
    if (!json_object_is_type(object, json_type_object))
        return "<not an object>";
    json_object_object_foreach (object, key, value) {
        (void)value;
        keys += keys.empty() ? key : std::string(",") + key;
    }
    return keys;
}

} // namespace fuzz
