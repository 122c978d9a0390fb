// The recording and data-stream helpers and the free-space probe: single members of the
// configuration record found at their interface offsets, and free space counted on file
// systems mounted in the test's own namespace.
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/statfs.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "harness.h"
#include "records.h"
#include "sharememory.h"

namespace {

using store_test::Bytes;
using store_test::bytes_of;
using store_test::difference;

Bytes config_bytes()
{
    uint8_t *record = bytes_of(harness::config());
    return Bytes(record, record + sizeof(ReceiverConfig));
}

void put_bytes(Bytes &record, size_t offset, const void *value, size_t size)
{
    memcpy(record.data() + offset, value, size);
}

TEST(NetworkSwitch, EachOutputReadsItsOwnEnableByte)
{
    uint8_t *record = bytes_of(harness::config());
    store_test::fill_record(record, sizeof(ReceiverConfig));
    record[1760] = 0x11;  // TCP[0].TCPDSPara.Switch.Enable
    record[3712] = 0x22;  // TCP[1]
    record[10117] = 0x33; // BT.Enable
    record[10128] = 0x44; // BT.DSPara.Switch.Enable, not the Bluetooth switch
    record[5864] = 0x55;  // NtripServerUsr[0].ServerDSPara.Switch.Enable
    record[6968] = 0x66;  // NtripServerUsr[1]
    const Bytes before = config_bytes();
    const uint8_t want[256] = {0x11, 0x22, 0, 0x33, 0x55, 0x66};
    for (unsigned select = 0; select < 256; ++select)
        EXPECT_EQ(GetNetworkTransEnableFlagState(static_cast<uint8_t>(select)), want[select])
            << "select " << select;
    EXPECT_EQ(difference(config_bytes(), before), "");
}

struct Channel {
    size_t base;
    uint8_t file_type, mode, circular;
    float interval, free_space;
    uint32_t max_space;
};

// Recording channel 1 is the record's 520 bytes at 672, channel 2 those at 1192.
const Channel channels[] = {{672, 0x17, 0x18, 0x32, 1.25f, 7.5f, 0x01020304},
                            {1192, 0x27, 0x28, 0x42, 2.5f, 9.75f, 0x05060708}};

void fill_channels(uint8_t *record)
{
    store_test::fill_record(record, sizeof(ReceiverConfig));
    for (const Channel &channel : channels) {
        record[channel.base + 17] = channel.file_type;
        record[channel.base + 18] = channel.mode;
        memcpy(record + channel.base + 20, &channel.interval, 4);
        memcpy(record + channel.base + 24, &channel.max_space, 4);
        memcpy(record + channel.base + 28, &channel.free_space, 4);
        record[channel.base + 32] = channel.circular;
    }
}

TEST(RecordingChannel, MembersOfChannelsOneAndTwoOnly)
{
    uint8_t *record = bytes_of(harness::config());
    for (const uint8_t number : {uint8_t{0}, uint8_t{1}, uint8_t{2}, uint8_t{3}}) {
        SCOPED_TRACE(int{number});
        fill_channels(record);
        const bool served = number == 1 || number == 2;
        const Channel want = served ? channels[number - 1] : Channel{0, 0, 0, 0, 0.0f, 0.0f, 0};
        EXPECT_EQ(GetReceiverRecConfFileType(number), want.file_type);
        EXPECT_EQ(GetReceiverRecConfRecMode(number), want.mode);
        EXPECT_EQ(GetReceiverRecConfRecInterval(number), want.interval);
        EXPECT_EQ(GetReceiverRecConfMaxSpace(number), want.max_space);
        EXPECT_EQ(GetReceiverRecConfFreeSpace(number), want.free_space);
        EXPECT_EQ(GetReceiverRecConfRecCircularFlag(number), want.circular);

        Bytes after = config_bytes();
        const float size = 123.5f;
        if (served) {
            after[want.base + 18] = 0x5a;
            put_bytes(after, want.base + 28, &size, 4);
        }
        SetReceiverRecConfRecMode(number, 0x5a);
        SetReceiverRecConfFreeSpace(number, size);
        EXPECT_EQ(difference(config_bytes(), after), "");
    }
}

const std::string trace_head = "\x1b[0m[GetReceiverRecConfFolderName:";
const std::string trace_tail = "]\x1b[0m \"folder name:ABCDEFGHIJKLMNOPQ\"\r\n";

// The folder names fill all 17 bytes, so neither is terminated: the copy and the trace stop
// at the field's end.
TEST(RecordingChannel, FolderNameCopiedWholeAndTracedForChannelOne)
{
    uint8_t *record = bytes_of(harness::config());
    store_test::fill_record(record, sizeof(ReceiverConfig));
    memcpy(record + 672, "ABCDEFGHIJKLMNOPQ", 17);
    memcpy(record + 1192, "abcdefghijklmnopq", 17);
    const struct Case {
        uint8_t number;
        int result;
        std::string folder; // the caller's 18 bytes after the call
        bool traced;
    } cases[] = {
        {0, -1, std::string(18, '#'), false},
        {1, 0, "ABCDEFGHIJKLMNOPQ#", true},
        {2, 0, "abcdefghijklmnopq#", false},
        {3, -1, std::string(18, '#'), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int{c.number});
        char folder[18];
        memset(folder, '#', sizeof folder);
        int result = 0;
        std::string out = store_test::output_of(
            2, [&] { result = GetReceiverRecConfFolderName(folder, c.number); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(std::string(folder, sizeof folder), c.folder);
        if (!c.traced) {
            EXPECT_EQ(out, "");
            continue;
        }
        ASSERT_GT(out.size(), trace_head.size() + trace_tail.size()) << out;
        EXPECT_EQ(out.substr(0, trace_head.size()), trace_head);
        EXPECT_EQ(out.substr(out.size() - trace_tail.size()), trace_tail);
        std::string line =
            out.substr(trace_head.size(), out.size() - trace_head.size() - trace_tail.size());
        EXPECT_EQ(line.find_first_not_of("0123456789"), std::string::npos) << line;
    }
}

constexpr size_t none = 0;

struct StampCase {
    const char *call;
    std::function<int()> run;
    size_t offset; // of the time member written, or none
    uint32_t time;
};

// Time member of slot n of a group: block + group offset + 12 n + 4.
TEST(SampleTimestamp, WritesOneSlotsTimeOrNothing)
{
    const StampCase cases[] = {
        {"TCP 45, NMEA[0]", [] { return SetReceiverTCPMsgSampleTimestamp(45, 1, 0, 0x01020304); },
         1768, 0x01020304},
        {"TCP 0 is TCP[0]", [] { return SetReceiverTCPMsgSampleTimestamp(0, 1, 0, 0x01020304); },
         1768, 0x01020304},
        {"TCP 46, Custom[11]", [] { return SetReceiverTCPMsgSampleTimestamp(46, 10, 11, -1); },
         5364, 0xffffffff},
        {"TCP 46, Weather[5]", [] { return SetReceiverTCPMsgSampleTimestamp(46, 9, 5, 77); }, 5220,
         77},
        {"TCP 45, EPH[11]", [] { return SetReceiverTCPMsgSampleTimestamp(45, 2, 11, 78); },
         1760 + 196 + 132 + 4, 78},
        {"TCP Weather[6] beyond the group",
         [] { return SetReceiverTCPMsgSampleTimestamp(45, 9, 6, 5); }, none, 0},
        {"TCP NMEA[65535]", [] { return SetReceiverTCPMsgSampleTimestamp(45, 1, 65535, 5); }, none,
         0},
        {"TCP group 0", [] { return SetReceiverTCPMsgSampleTimestamp(45, 0, 0, 5); }, none, 0},
        {"TCP group 11", [] { return SetReceiverTCPMsgSampleTimestamp(45, 11, 0, 5); }, none, 0},
        {"NTRIP 0, RTCM23[0]", [] { return SetReceiverNtripServerMsgSampleTimestamp(3, 0, 9, 0); },
         5872, 9},
        {"NTRIP 1, Custom[11]",
         [] { return SetReceiverNtripServerMsgSampleTimestamp(10, 11, 10, 1); }, 7924, 10},
        {"NTRIP 1, CMR[7]", [] { return SetReceiverNtripServerMsgSampleTimestamp(6, 7, 11, 1); },
         7780, 11},
        {"NTRIP CMR[8] beyond the group",
         [] { return SetReceiverNtripServerMsgSampleTimestamp(6, 8, 11, 1); }, none, 0},
        {"NTRIP server 2", [] { return SetReceiverNtripServerMsgSampleTimestamp(3, 0, 9, 2); },
         none, 0},
        {"NTRIP NMEA", [] { return SetReceiverNtripServerMsgSampleTimestamp(1, 0, 9, 0); }, none,
         0},
        {"NTRIP EPH", [] { return SetReceiverNtripServerMsgSampleTimestamp(2, 0, 9, 0); }, none, 0},
        {"NTRIP Binex", [] { return SetReceiverNtripServerMsgSampleTimestamp(7, 0, 9, 0); }, none,
         0},
        {"NTRIP QX", [] { return SetReceiverNtripServerMsgSampleTimestamp(8, 0, 9, 0); }, none, 0},
        {"NTRIP Weather", [] { return SetReceiverNtripServerMsgSampleTimestamp(9, 0, 9, 0); }, none,
         0},
        {"radio Custom[11]", [] { return SetReceiverRadioMsgSampleTimestamp(10, 11, 12); }, 10036,
         12},
        {"radio RTCM32[19]", [] { return SetReceiverRadioMsgSampleTimestamp(5, 19, 13); }, 9796,
         13},
        {"radio RTCM30[0]", [] { return SetReceiverRadioMsgSampleTimestamp(4, 0, 14); },
         9080 + 244 + 4, 14},
        {"radio RTCM32[20] beyond the group",
         [] { return SetReceiverRadioMsgSampleTimestamp(5, 20, 13); }, none, 0},
        {"radio NMEA", [] { return SetReceiverRadioMsgSampleTimestamp(1, 0, 13); }, none, 0},
        {"radio Weather", [] { return SetReceiverRadioMsgSampleTimestamp(9, 0, 13); }, none, 0},
    };
    uint8_t *record = bytes_of(harness::config());
    for (const StampCase &c : cases) {
        SCOPED_TRACE(c.call);
        store_test::fill_record(record, sizeof(ReceiverConfig));
        Bytes want = config_bytes();
        if (c.offset != none) {
            const uint8_t little_endian[] = {uint8_t(c.time), uint8_t(c.time >> 8),
                                             uint8_t(c.time >> 16), uint8_t(c.time >> 24)};
            put_bytes(want, c.offset, little_endian, 4);
        }
        EXPECT_EQ(c.run(), 0);
        EXPECT_EQ(difference(config_bytes(), want), "");
    }
}

// A tmpfs of nr_blocks pages, in this test's own mount namespace (where the card's mount
// point is itself a tmpfs, so the directories made here stay there too).
struct Tmpfs {
    Tmpfs(const std::string &where, unsigned long blocks) : path(where)
    {
        mkdir(path.c_str(), 0755);
        std::string options = "nr_blocks=" + std::to_string(blocks);
        mounted = mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~Tmpfs()
    {
        if (mounted)
            umount(path.c_str());
    }
    std::string path;
    bool mounted = false;
};

// tmpfs counts in 4096-byte pages, all of them free: whole units of 1024 blocks, times 4.
TEST(FreeSpace, WholeKiloBlocksTimesKibPerBlock)
{
    const struct Case {
        unsigned long blocks;
        float mib;
    } cases[] = {{5000, 16.0f}, {1023, 0.0f}, {1024, 4.0f}, {1000000, 3904.0f}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.blocks);
        Tmpfs card(std::string(MMC_MOUNT_POINT) + "/card", c.blocks);
        ASSERT_TRUE(card.mounted) << strerror(errno);
        struct statfs fs;
        ASSERT_EQ(statfs(card.path.c_str(), &fs), 0);
        if (fs.f_bsize != 4096 || fs.f_bavail != c.blocks)
            GTEST_SKIP() << "tmpfs blocks of " << fs.f_bsize << " bytes, " << fs.f_bavail
                         << " free";
        EXPECT_EQ(GetMMCFreeSpace(card.path.c_str()), c.mib);
    }
}

TEST(FreeSpace, NoAnswerFromTheFileSystemCountsAsNone)
{
    float result = -1;
    std::string report =
        store_test::output_of(2, [&] { result = GetMMCFreeSpace("/nonexistent/card"); });
    EXPECT_EQ(result, 0.0f);
    EXPECT_EQ(report, std::string("statfs failed\n: ") + strerror(ENOENT) + "\n");

    report = store_test::output_of(2, [&] { result = GetMMCFreeSpace(nullptr); });
    EXPECT_EQ(result, 0.0f);
    EXPECT_EQ(report, "");
}

TEST(FreeSpace, RefreshStoresTheCardsFreeSpaceInTheMonitor)
{
    ReceiverMonitor &monitor = harness::monitor();
    uint8_t *record = bytes_of(monitor);
    store_test::fill_record(record, sizeof(ReceiverMonitor));
    Bytes want(record, record + sizeof(ReceiverMonitor));
    const float sixteen = 16.0f, zero = 0.0f;

    {
        Tmpfs card(MMC_MOUNT_POINT, 5000);
        ASSERT_TRUE(card.mounted) << strerror(errno);
        RefreshReceiverMonitorFreeSpace();
        memcpy(want.data() + 8, &sixteen, 4);
        EXPECT_EQ(difference(Bytes(record, record + sizeof(ReceiverMonitor)), want), "");
    }

    // An empty file system over the card's parent: the mount point is gone.
    std::string parent = MMC_MOUNT_POINT;
    parent.erase(parent.rfind('/'));
    Tmpfs hiding(parent, 16);
    ASSERT_TRUE(hiding.mounted) << strerror(errno);
    std::string report = store_test::output_of(2, [] { RefreshReceiverMonitorFreeSpace(); });
    memcpy(want.data() + 8, &zero, 4);
    EXPECT_EQ(difference(Bytes(record, record + sizeof(ReceiverMonitor)), want), "");
    EXPECT_EQ(report, std::string("statfs failed\n: ") + strerror(ENOENT) + "\n");
}

} // namespace
