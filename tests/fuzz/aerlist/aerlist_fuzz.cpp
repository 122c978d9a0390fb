// aerlist's reading of the antenna list. Input: the list file's bytes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "fuzz.h"

namespace {

int list_fd = -1;
char list_path[32];

} // namespace

#define AERKIND_LIST_PATH list_path
#define main              aerlist_main
#include "aerlist/test.cpp"
#undef main

namespace {

constexpr size_t max_entries = 800;
constexpr size_t max_entry_size = 20;

std::vector<std::string> lines_of(const std::string &file)
{
    std::vector<std::string> lines;
    for (size_t start = 0; start < file.size();) {
        size_t end = file.find('\n', start);
        if (end == std::string::npos)
            end = file.size();
        lines.push_back(file.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void check(const std::string &file, json_object *answer)
{
    const std::string printed = fuzz::printed_answer(answer);
    cgi::Json parsed(fuzz::parse_strict(printed));
    fuzz::require(parsed.get() != nullptr, "the answer is valid UTF-8 JSON: " + printed);
    fuzz::require(fuzz::keys_of(parsed.get()) == "data,Res", "the answer has data and Res");
    fuzz::require(json_object_get_string(json_object_object_get(answer, "Res")) ==
                      std::string("Success"),
                  "a list that opens is a success");

    json_object *data = json_object_object_get(answer, "data");
    const std::vector<std::string> lines = lines_of(file);
    const size_t count = json_object_array_length(data);
    fuzz::require(count <= max_entries, "at most 800 entries");
    fuzz::require(count == std::min(lines.size(), max_entries), "one entry per line");
    for (size_t i = 0; i < count; ++i) {
        json_object *entry = json_object_array_get_idx(data, i);
        const std::string name(json_object_get_string(entry),
                               static_cast<size_t>(json_object_get_string_len(entry)));
        fuzz::require(name.size() <= max_entry_size, "an entry is at most 20 bytes");
        fuzz::require(lines[i].rfind(name, 0) == 0, "an entry is the start of its line");
        fuzz::require(name.find('\0') == std::string::npos, "an entry holds no zero byte");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    list_fd = fuzz::memory_file();
    snprintf(list_path, sizeof list_path, "/proc/self/fd/%d", list_fd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::require(ftruncate(list_fd, 0) == 0 &&
                      pwrite(list_fd, data, size, 0) == static_cast<ssize_t>(size),
                  "cannot write the list");

    cgi::Json answer(json_object_new_object());
    work({nullptr, nullptr}, answer.get());
    check(std::string(reinterpret_cast<const char *>(data), size), answer.get());
    return 0;
}
