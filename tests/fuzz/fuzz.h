// What the fuzz targets share. Each target is one LLVMFuzzerTestOneInput that checks what must
// hold for any input and stops the run when it does not; libFuzzer drives it under clang, and
// the replay driver runs it over the committed corpus in every test build.
#ifndef TESTS_FUZZ_FUZZ_H
#define TESTS_FUZZ_FUZZ_H

#include <cstddef>
#include <cstdint>
#include <string>

#include <json-c/json.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fuzz {

// The input being replayed (null under libFuzzer, which names it itself).
extern const char *current_input;

// Prints what broke, with the input, and aborts: libFuzzer keeps the input as a crash, the
// replay test fails.
[[noreturn]] void broken(const std::string &what);

inline void require(bool holds, const std::string &what)
{
    if (!holds)
        broken(what);
}

// A store of the process's own: a fresh IPC namespace, the three records attached in it.
void attach_private_store();

// A file descriptor of a file in memory, so no disk is touched between inputs; its path is
// /proc/self/fd/<descriptor>.
int memory_file();

// The answer exactly as the frame prints it to the client.
std::string printed_answer(json_object *answer);

// The text parsed as strict JSON with valid UTF-8 and nothing after it; null when it is not.
json_object *parse_strict(const std::string &text);

// The member names of an object, in order, joined by commas.
std::string keys_of(json_object *object);

} // namespace fuzz

#endif
