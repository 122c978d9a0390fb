// The antenna list as the pages' selection shows it: one name per line, at most as many and as
// long as the daemon's own table of names holds.
#include <cstdio>

#include "request.h"
#include "sharememory.h"

#ifndef AERKIND_LIST_PATH
#define AERKIND_LIST_PATH "/usrdata/aerkind.txt"
#endif

namespace {

constexpr int max_names = 800;
constexpr size_t name_size = 20;
constexpr size_t line_size = 1024;

struct Line {
    char text[line_size];
    size_t size;
};

/* One line without its line end (LF, and a CR before it); of a longer line the first
 * line_size - 1 bytes, the rest skipped. Bytes are counted, so a zero byte ends no line. */
bool read_line(FILE *file, Line &line)
{
    line.size = 0;
    int byte = fgetc(file);
    if (byte == EOF)
        return false;
    bool cut = false;
    for (; byte != EOF && byte != '\n'; byte = fgetc(file)) {
        if (line.size < line_size - 1)
            line.text[line.size++] = static_cast<char>(byte);
        else
            cut = true;
    }
    if (byte == '\n' && !cut && line.size > 0 && line.text[line.size - 1] == '\r')
        --line.size;
    line.text[line.size] = '\0';
    return true;
}

/* The first name_size bytes, moved back to the start of a UTF-8 sequence the cut would split. */
size_t name_length(const Line &line)
{
    size_t length = line.size < name_size ? line.size : name_size;
    if (length < line.size)
        while (length > 0 && (static_cast<unsigned char>(line.text[length]) & 0xC0) == 0x80)
            --length;
    return length;
}

void work(const cgi::Request &, json_object *answer)
{
    FILE *file = fopen(AERKIND_LIST_PATH, "r");
    if (file == nullptr) {
        cgi::add_string(answer, "Res", "failed");
        return;
    }
    cgi::Json names(json_object_new_array());
    Line line;
    for (int count = 0; count < max_names && read_line(file, line); ++count) {
        char name[name_size + 1] = {};
        size_t length = name_length(line);
        for (size_t i = 0; i < length && line.text[i] != '\0'; ++i)
            name[i] = line.text[i];
        json_object_array_add(names.get(), json_object_new_string(name));
    }
    fclose(file);
    json_object_object_add(answer, "data", names.release());
    cgi::add_string(answer, "Res", "Success");
}

} // namespace

int main()
{
    return cgi::serve({cgi::Attach::after_header, work});
}
