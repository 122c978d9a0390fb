// Helpers of the store tests: record bytes in known patterns, exact comparisons, and what a
// call writes on a file descriptor.
#ifndef TESTS_STORE_RECORDS_H
#define TESTS_STORE_RECORDS_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "harness.h"

namespace store_test {

using Bytes = std::vector<uint8_t>;

template <typename Record> uint8_t *bytes_of(Record &record)
{
    return reinterpret_cast<uint8_t *>(&record);
}

// The record's pattern: every byte tells its offset apart from its neighbours.
inline void fill_record(uint8_t *record, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        record[i] = static_cast<uint8_t>(i * 31 + 7);
}

// The caller's pattern: no zero byte anywhere (so no text in it is terminated), and a
// signalling NaN in its first four bytes (so a float that went through a register shows).
inline Bytes caller_pattern(size_t size)
{
    Bytes bytes(size);
    const uint8_t nan[] = {0x01, 0x01, 0xa1, 0x7f};
    for (size_t i = 0; i < size; ++i)
        bytes[i] = i < 4 ? nan[i] : static_cast<uint8_t>(1 + (i * 7) % 251);
    return bytes;
}

// "" when equal, else where the first difference is and both bytes there.
inline std::string difference(const uint8_t *got, const uint8_t *want, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        if (got[i] == want[i])
            continue;
        char text[80];
        snprintf(text, sizeof text, "byte %zu is %02x, not %02x", i, got[i], want[i]);
        return text;
    }
    return "";
}

inline std::string difference(const Bytes &got, const Bytes &want)
{
    if (got.size() != want.size())
        return "sizes differ";
    return difference(got.data(), want.data(), got.size());
}

// Runs work with the descriptor fd (1 or 2) sent to a file, and gives what was written there.
template <typename Work> std::string output_of(int fd, Work work)
{
    fflush(stdout);
    fflush(stderr);
    FILE *capture = tmpfile();
    int saved = dup(fd);
    dup2(fileno(capture), fd);
    work();
    fflush(stdout);
    fflush(stderr);
    dup2(saved, fd);
    close(saved);
    std::string text(65536, '\0');
    ssize_t got = pread(fileno(capture), text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    fclose(capture);
    return text;
}

} // namespace store_test

#endif
