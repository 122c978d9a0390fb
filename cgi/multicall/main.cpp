// The static build's one executable: every program linked in, each with its own main under
// another name, and the one to run chosen by the name this process was started under (the
// links in cgi-bin/). The build generates the table: PROGRAM(program, "name it answers to").
#include <cstdio>
#include <cstring>

#define PROGRAM(program, name) int program##_main();
#include "programs.inc"
#undef PROGRAM

namespace {

struct Entry {
    const char *name;
    int (*main)();
};

constexpr Entry programs[] = {
#define PROGRAM(program, name) {name, program##_main},
#include "programs.inc"
#undef PROGRAM
};

} // namespace

int main(int argc, char **argv)
{
    const char *path = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    const char *slash = strrchr(path, '/');
    const char *name = slash != nullptr ? slash + 1 : path;
    for (const Entry &entry : programs)
        if (strcmp(entry.name, name) == 0)
            return entry.main();
    /* Nothing on standard output: a web server would send it to the client. */
    fprintf(stderr, "receiver-cgi: no program is called \"%s\"\n", name);
    return 1;
}
