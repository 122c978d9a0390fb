// How the GNSS record's texts and binary messages are written: cleared, overlaid, or 6144 bytes
// of a 6145-byte field. Each case: the field before, the caller's bytes, the field after.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"
#include "records.h"
#include "sharememory.h"

namespace {

using store_test::Bytes;
using store_test::bytes_of;
using store_test::difference;

Bytes text(const std::string &characters, size_t width)
{
    Bytes bytes(characters.begin(), characters.end());
    bytes.resize(width, 0);
    return bytes;
}

struct TextCase {
    const char *name;
    GNSS_ENTRY entry;
    size_t offset;
    size_t width;
    std::string before;
    std::string written; // passed NUL-terminated
    Bytes after;
};

const std::string letters100 = std::string(50, 'a') + std::string(50, 'b');
const std::string letters200 = std::string(128, 'c') + std::string(72, 'd');

const TextCase text_cases[] = {
    {"ClearedShorterText", ENTRY_NMEA, 0, 128, letters100, "xyz", text("xyz", 128)},
    {"ClearedLongTextCutWithoutTerminator", ENTRY_NMEA, 0, 128, "", letters200,
     text(std::string(128, 'c'), 128)},
    {"ClearedEmptyText", ENTRY_ZDA_MSG, 31868, 128, letters100, "", text("", 128)},
    {"ClearedK418A", ENTRY_K418A, 128, 4000, std::string(3999, 'k'), "new", text("new", 4000)},
    {"ClearedPSRDOPA", ENTRY_PSRDOPA, 4728, 300, "0123456789", "ab", text("ab", 300)},
    {"OverlaidShorterText", ENTRY_TIMEA, 4128, 300, "0123456789", "xyz", text("xyz3456789", 300)},
    {"OverlaidEmptyTextChangesNothing", ENTRY_TIMEA, 4128, 300, "0123456789", "",
     text("0123456789", 300)},
    {"OverlaidBESTPOSA", ENTRY_BESTPOSA, 4428, 300, "0123456789", "XY", text("XY23456789", 300)},
    {"OverlaidLongTextCut", ENTRY_BESTPOSA, 4428, 300, "", std::string(310, 'e'),
     text(std::string(300, 'e'), 300)},
};

class TextFields : public testing::TestWithParam<TextCase> {};

TEST_P(TextFields, WriteThenReadTheWholeField)
{
    const TextCase &c = GetParam();
    uint8_t *record = bytes_of(harness::gnss());
    store_test::fill_record(record, sizeof(GNSSInfo));
    const Bytes before(text(c.before, c.width));
    std::copy(before.begin(), before.end(), record + c.offset);
    Bytes want(record, record + sizeof(GNSSInfo));
    std::copy(c.after.begin(), c.after.end(), want.data() + c.offset);
    std::string written = c.written;

    EXPECT_EQ(SetGNSSInfoToShareMemory(c.entry, written.data()), 0);
    EXPECT_EQ(difference(Bytes(record, record + sizeof(GNSSInfo)), want), "");

    Bytes read(c.width + 1, 0xee);
    EXPECT_EQ(GetGNSSInfoFromShareMemory(c.entry, read.data()), 0);
    Bytes want_read = c.after;
    want_read.push_back(0xee);
    EXPECT_EQ(difference(read, want_read), "");
}

INSTANTIATE_TEST_SUITE_P(Gnss, TextFields, testing::ValuesIn(text_cases),
                         [](const testing::TestParamInfo<TextCase> &info) {
                             return info.param.name;
                         });

// A text as long as its field, with no terminator in the caller's memory after it: the write
// must not read past the field's width (the sanitizer build sees any byte more).
TEST(TextFields, FullWidthTextIsNotReadBeyondTheField)
{
    uint8_t *record = bytes_of(harness::gnss());
    for (GNSS_ENTRY entry : {ENTRY_NMEA, ENTRY_TIMEA}) {
        SCOPED_TRACE(entry);
        const size_t width = entry == ENTRY_NMEA ? 128 : 300;
        const size_t offset = entry == ENTRY_NMEA ? 0 : 4128;
        std::vector<char> exact(width, 'z');
        EXPECT_EQ(SetGNSSInfoToShareMemory(entry, exact.data()), 0);
        EXPECT_EQ(difference(record + offset, Bytes(width, 'z').data(), width), "");
    }
}

struct BinaryCase {
    const char *name;
    GNSS_ENTRY entry;
    size_t offset;
};

class BinaryFields : public testing::TestWithParam<BinaryCase> {};

// Zero bytes early in the message do not end it: all 6144 bytes go in, and the field's last
// byte is zero after every write.
TEST_P(BinaryFields, WriteMovesExactly6144BytesAndZeroesTheLast)
{
    const BinaryCase &c = GetParam();
    uint8_t *record = bytes_of(harness::gnss());
    store_test::fill_record(record, sizeof(GNSSInfo));
    record[c.offset + 6144] = 0xee;
    Bytes message = store_test::caller_pattern(6200);
    message[1] = message[2] = 0;
    Bytes want(record, record + sizeof(GNSSInfo));
    std::copy(message.data(), message.data() + 6144, want.data() + c.offset);
    want[c.offset + 6144] = 0;

    EXPECT_EQ(SetGNSSInfoToShareMemory(c.entry, message.data()), 0);
    EXPECT_EQ(difference(Bytes(record, record + sizeof(GNSSInfo)), want), "");

    Bytes read(6145, 0xee);
    EXPECT_EQ(GetGNSSInfoFromShareMemory(c.entry, read.data()), 0);
    Bytes want_read(message.begin(), message.begin() + 6144);
    want_read.push_back(0xee);
    EXPECT_EQ(difference(read, want_read), "");
}

INSTANTIATE_TEST_SUITE_P(Gnss, BinaryFields,
                         testing::Values(BinaryCase{"K418B", ENTRY_K418B, 7288},
                                         BinaryCase{"BESTPOSB", ENTRY_BESTPOSB, 13433},
                                         BinaryCase{"TIMEB", ENTRY_TIMEB, 19578},
                                         BinaryCase{"PSRDOPB", ENTRY_PSRDOPB, 25723}),
                         [](const testing::TestParamInfo<BinaryCase> &info) {
                             return info.param.name;
                         });

} // namespace
