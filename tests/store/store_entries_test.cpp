// The entry accessors against the record layouts, number by number: which bytes of the record
// a set changes, which bytes of the buffer a get fills, and that every other number moves
// nothing. Offsets and counts are the interface's numbers, written out here.
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "harness.h"
#include "records.h"
#include "semaphore.h"
#include "sharememory.h"

namespace {

using store_test::Bytes;
using store_test::bytes_of;
using store_test::difference;

constexpr size_t special = SIZE_MAX; // set by other rules, tested with them

struct Entry {
    unsigned number;
    size_t offset;
    size_t get; // bytes a get fills, 0: none
    size_t set; // bytes a set writes, 0: none
};

const std::vector<Entry> config_entries = {
    {0, 0, 15, 15},          {1, 15, 9, 9},           {2, 24, 16, 16},
    {3, 40, 16, 16},         {4, 72, 16, 16},         {5, 88, 16, 16},
    {6, 104, 16, 16},        {7, 136, 16, 16},        {8, 152, 16, 16},
    {9, 168, 24, 24},        {10, 192, 16, 16},       {11, 208, 16, 16},
    {12, 224, 16, 16},       {13, 240, 16, 16},       {14, 256, 16, 16},
    {15, 272, 4, 4},         {16, 276, 4, 4},         {17, 280, 16, 16},
    {18, 296, 1, 1},         {22, 353, 16, 16},       {23, 369, 1, 1},
    {24, 370, 1, 1},         {25, 371, 1, 1},         {26, 372, 4, 4},
    {27, 376, 4, 4},         {29, 380, 1, 1},         {30, 381, 1, 1},
    {31, 382, 1, 1},         {32, 383, 1, 1},         {33, 384, 1, 1},
    {34, 10704, 1, 1},       {35, 385, 134, 134},     {36, 520, 48, 48},
    {37, 568, 60, 60},       {38, 628, 44, 44},       {39, 672, 520, 520},
    {40, 1192, 520, 520},    {41, 672, 17, 17},       {42, 1192, 17, 17},
    {43, 10708, 1908, 1908}, {44, 12616, 1908, 1908}, {45, 1712, 1952, 1952},
    {46, 3664, 1952, 1952},  {47, 5616, 108, 108},    {49, 8052, 256, 256},
    {50, 8308, 256, 256},    {51, 8564, 356, 356},    {52, 8920, 152, 152},
    {53, 9072, 976, 976},    {54, 10048, 52, 52},     {55, 10100, 224, 224},
    {56, 10324, 117, 117},   {57, 10441, 67, 67},     {58, 10508, 16, 16},
    {59, 10524, 139, 139},   {60, 10663, 16, 16},     {61, 10679, 16, 16},
    {62, 10696, 8, 8},       {63, 14676, 60, 60},     {64, 14736, 172, 172},
    {65, 56, 16, 16},        {66, 120, 16, 16},       {67, 5724, 1104, 1104},
    {68, 6828, 1104, 1104},  {69, 14524, 76, 76},     {70, 14600, 76, 76},
    {71, 14908, 3, 3},
};

const std::vector<Entry> monitor_entries = {
    {1, 0, 1, 1},
    {2, 4, 4, 4},
    {3, 8, 4, 4},
    {4, 12, 1, 1},
    {5, 13, 1, 1},
    {6, 14, 1, 1},
    {7, 15, 1, 1},
    {8, 16, 48, 48},
    {9, 64, 1, 1},
    {11, 65, 1, 1},
    {12, 12868, 1, 1},
    {13, 68, 12800, 12800},
    {14, 66, 1, 1},
    {15, 67, 1, 1},
    {16, 12872, 392, 392},
    {17, 13261, 1, 1},
    {18, 13264, 1, 1},
    {19, 13265, 1, 1},
    {21, 13269, 1, 1},
    {22, 13270, 1, 1},
    {23, 13271, 1, 1},
    {24, 13272, 1, 1},
    {25, 13273, 16800, 16800},
    {26, 30073, 24, 24},
    {27, 30144, 4, 4},
    {28, 30097, 46, 46},
    {29, 30148, 4, 4},
    {32, 30163, 1, 1},
    {33, 30164, 1, 1},
    // The mailbox bytes can be read by number but are written only by the mailbox functions.
    {49, 13266, 1, 0},
    {50, 13267, 1, 0},
};

const std::vector<Entry> gnss_entries = {
    {0, 0, 128, special},       {1, 128, 4000, special},    {2, 4128, 300, special},
    {3, 4428, 300, special},    {4, 4728, 300, special},    {5, 5032, 72, 72},
    {6, 5104, 12, 12},          {7, 5116, 2116, 2116},      {8, 7232, 24, 24},
    {9, 7256, 32, 32},          {10, 7288, 6144, special},  {11, 13433, 6144, special},
    {12, 19578, 6144, special}, {13, 25723, 6144, special}, {14, 31868, 128, special},
    {15, 32000, 56, 56},
};

using Accessor = int (*)(uint8_t, void *);

struct Pair {
    const char *name;
    Accessor get;
    Accessor set;
    uint8_t *(*record)();
    size_t size;
    const std::vector<Entry> *entries;
};

const Pair pairs[] = {
    {"Config", GetReceiverConfigParaFromShareMemory, SetReceiverConfigParaToShareMemory,
     [] { return bytes_of(harness::config()); }, sizeof(ReceiverConfig), &config_entries},
    {"Monitor", GetMonitorParaFromShareMemory, SetMonitorParaToShareMemory,
     [] { return bytes_of(harness::monitor()); }, sizeof(ReceiverMonitor), &monitor_entries},
    {"Gnss", GetGNSSInfoFromShareMemory, SetGNSSInfoToShareMemory,
     [] { return bytes_of(harness::gnss()); }, sizeof(GNSSInfo), &gnss_entries},
};

void PrintTo(const Pair &pair, std::ostream *out)
{
    *out << pair.name;
}

Entry entry_for(const Pair &pair, unsigned number)
{
    for (const Entry &entry : *pair.entries)
        if (entry.number == number)
            return entry;
    return Entry{number, 0, 0, 0};
}

class Entries : public testing::TestWithParam<Pair> {};

// For all 256 numbers: set from the caller's pattern into the record's pattern, then get into
// a buffer of a third pattern. Exactly the field's bytes change each time.
TEST_P(Entries, EveryNumberMovesExactlyItsFieldsBytes)
{
    const Pair &pair = GetParam();
    uint8_t *record = pair.record();
    const Bytes sent = store_test::caller_pattern(sizeof(GNSSInfo));
    for (unsigned number = 0; number < 256; ++number) {
        const Entry entry = entry_for(pair, number);
        SCOPED_TRACE(testing::Message() << pair.name << " entry " << number);

        store_test::fill_record(record, pair.size);
        Bytes want_record(record, record + pair.size);
        Bytes buffer = sent;
        if (entry.set != special) {
            std::copy(sent.data(), sent.data() + entry.set, want_record.data() + entry.offset);
            EXPECT_EQ(pair.set(static_cast<uint8_t>(number), buffer.data()), 0);
            EXPECT_EQ(difference(Bytes(record, record + pair.size), want_record), "");
            EXPECT_EQ(difference(buffer, sent), "");
        }

        Bytes want_buffer(sent.size(), 0xee);
        std::copy(record + entry.offset, record + entry.offset + entry.get, want_buffer.begin());
        buffer.assign(sent.size(), 0xee);
        EXPECT_EQ(pair.get(static_cast<uint8_t>(number), buffer.data()), 0);
        EXPECT_EQ(difference(buffer, want_buffer), "");
        EXPECT_EQ(difference(Bytes(record, record + pair.size), want_record), "");
    }
}

// A null buffer is refused before the lock: the last process to operate on the semaphore is
// still the one that did so before the call.
TEST_P(Entries, NullBufferIsRefusedWithoutTouchingTheLock)
{
    const Pair &pair = GetParam();
    uint8_t *record = pair.record();
    store_test::fill_record(record, pair.size);
    const Bytes before(record, record + pair.size);
    const int sems[] = {ZarvelConfig.sem, ZarvelMonitor.sem, ZarvelGNSS.sem};
    pid_t toucher = fork();
    if (toucher == 0) {
        for (int sem : sems)
            semaphore_p(sem), semaphore_v(sem);
        _exit(0);
    }
    waitpid(toucher, nullptr, 0);

    for (const unsigned number : {0u, 1u, 5u, 49u, 200u, 255u}) {
        EXPECT_EQ(pair.get(static_cast<uint8_t>(number), nullptr), -1) << number;
        EXPECT_EQ(pair.set(static_cast<uint8_t>(number), nullptr), -1) << number;
    }

    for (int sem : sems) {
        EXPECT_EQ(semctl(sem, 0, GETPID), toucher);
        EXPECT_EQ(harness::semaphore_value(sem), 1);
    }
    EXPECT_EQ(difference(Bytes(record, record + pair.size), before), "");
}

INSTANTIATE_TEST_SUITE_P(Records, Entries, testing::ValuesIn(pairs),
                         [](const testing::TestParamInfo<Pair> &info) { return info.param.name; });

// When the lock cannot be taken, a call leaves the record alone and makes no V (which would
// let two processes into the record): the only report is the P's.
TEST(LockFailure, CallsLeaveTheRecordsAloneAndReleaseNothing)
{
    harness::attach();
    Bytes field(2048, 0x5a);
    const struct Call {
        const char *name;
        int (*call)(void *);
        int result;
    } calls[] = {
        {"config set",
         [](void *b) { return SetReceiverConfigParaToShareMemory(ENTRY_TCP1_CONFIG, b); }, -1},
        {"config get",
         [](void *b) { return GetReceiverConfigParaFromShareMemory(ENTRY_TCP1_CONFIG, b); }, -1},
        {"config swap",
         [](void *b) {
             const ConfigSwap swap = {ENTRY_TCP1_CONFIG, nullptr, b};
             return SwapReceiverConfigParaInShareMemory(&swap, 1);
         },
         -1},
        {"monitor set", [](void *b) { return SetMonitorParaToShareMemory(ENTRY_CALL_INFO, b); },
         -1},
        {"gnss set", [](void *b) { return SetGNSSInfoToShareMemory(ENTRY_K418, b); }, -1},
        {"post", [](void *) { return SetMonitorOperate(ENTRY_TUNNEX_OP); }, -1},
        {"try post", [](void *) { return TryPostMonitorOperate(ENTRY_TUNNEX_OP); }, -1},
        {"bounded post", [](void *) { return PostMonitorOperate(ENTRY_TUNNEX_OP); }, -1},
        {"wait", [](void *) { return WaitMonitorOperateIdle(); }, -1},
        {"state", [](void *) { return SetMonitorOperateState(OP_FAILED); }, -1},
        {"recording mode",
         [](void *) {
             SetReceiverRecConfRecMode(1, 9);
             return 0;
         },
         0},
        {"timestamp", [](void *) { return SetReceiverRadioMsgSampleTimestamp(10, 0, 7); }, -1},
        {"progress", [](void *) { return SetMonitorUpgradeProgress(50.0f); }, -1},
        {"record lock", [](void *) { return LockShareRecord(SHARE_GNSS) == nullptr ? -1 : 0; }, -1},
    };
    const Bytes config(bytes_of(harness::config()),
                       bytes_of(harness::config()) + sizeof(ReceiverConfig));
    const Bytes monitor(bytes_of(harness::monitor()),
                        bytes_of(harness::monitor()) + sizeof(ReceiverMonitor));
    const Bytes gnss(bytes_of(harness::gnss()), bytes_of(harness::gnss()) + sizeof(GNSSInfo));
    const int sems[] = {ZarvelConfig.sem, ZarvelMonitor.sem, ZarvelGNSS.sem};
    const int gone = 0x7ffffff0; // no such set
    ZarvelConfig.sem = ZarvelMonitor.sem = ZarvelGNSS.sem = gone;

    for (const Call &call : calls) {
        int result = 0;
        const unsigned lost = ShareMemoryLocksLost();
        std::string report = store_test::output_of(2, [&] { result = call.call(field.data()); });
        EXPECT_EQ(result, call.result) << call.name;
        EXPECT_EQ(report, std::string("P operation: ") + strerror(EINVAL) + "\n") << call.name;
        EXPECT_EQ(ShareMemoryLocksLost(), lost + 1) << call.name;
    }

    ZarvelConfig.sem = sems[0];
    ZarvelMonitor.sem = sems[1];
    ZarvelGNSS.sem = sems[2];
    EXPECT_EQ(difference(Bytes(bytes_of(harness::config()),
                               bytes_of(harness::config()) + sizeof(ReceiverConfig)),
                         config),
              "");
    EXPECT_EQ(difference(Bytes(bytes_of(harness::monitor()),
                               bytes_of(harness::monitor()) + sizeof(ReceiverMonitor)),
                         monitor),
              "");
    EXPECT_EQ(
        difference(Bytes(bytes_of(harness::gnss()), bytes_of(harness::gnss()) + sizeof(GNSSInfo)),
                   gnss),
        "");
    EXPECT_EQ(difference(field, Bytes(2048, 0x5a)), "");
}

} // namespace
