// The operation mailbox and the monitor's single values: transitions of the mailbox as a
// transcript, the atomic post under real concurrency, and the bounded, unhurried wait.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"
#include "records.h"
#include "semaphore.h"
#include "sharememory.h"

namespace {

using store_test::bytes_of;

struct Mailbox {
    int entry;
    int state;
    bool operator==(const Mailbox &other) const
    {
        return entry == other.entry && state == other.state;
    }
};

std::ostream &operator<<(std::ostream &out, const Mailbox &mailbox)
{
    return out << "(" << mailbox.entry << ", " << mailbox.state << ")";
}

// The two bytes at 13266 and 13267 of the monitor record.
Mailbox stored_mailbox()
{
    const uint8_t *record = bytes_of(harness::monitor());
    return {record[13266], static_cast<int8_t>(record[13267])};
}

struct Step {
    const char *call;
    std::function<int()> run;
    int result;
    Mailbox after;
};

TEST(OperateMailbox, TransitionsFromANewRecord)
{
    harness::attach();
    const Step steps[] = {
        {"GetMonitorOperateState", [] { return GetMonitorOperateState(); }, OP_COMPLETE, {0, 0}},
        {"TryPostMonitorOperate(TUNNEX)",
         [] { return TryPostMonitorOperate(ENTRY_TUNNEX_OP); },
         0,
         {64, 2}},
        {"TryPostMonitorOperate(DDNS) while busy",
         [] { return TryPostMonitorOperate(ENTRY_DDNS_OP); },
         1,
         {64, 2}},
        {"ClearMonitorOperate", [] { return ClearMonitorOperate(); }, 0, {0, 2}},
        {"GetMonitorOperateState", [] { return GetMonitorOperateState(); }, OP_EXE, {0, 2}},
        {"SetMonitorOperateState(OP_FAILED)",
         [] { return SetMonitorOperateState(OP_FAILED); },
         0,
         {0, -1}},
        {"GetMonitorOperateState", [] { return GetMonitorOperateState(); }, OP_FAILED, {0, -1}},
        {"SetMonitorOperate(INS)", [] { return SetMonitorOperate(ENTRY_INS_OP); }, 0, {65, 2}},
        {"SetMonitorOperate(SID) while busy",
         [] { return SetMonitorOperate(ENTRY_SID_OP); },
         0,
         {11, 2}},
        {"SetMonitorOperateState(OP_SUCCESS)",
         [] { return SetMonitorOperateState(OP_SUCCESS); },
         0,
         {11, 3}},
        {"PostMonitorOperate(PORTVIA)",
         [] { return PostMonitorOperate(ENTRY_PORTVIA_OP); },
         0,
         {63, 2}},
        {"SetMonitorOperateState(OP_FAILED)",
         [] { return SetMonitorOperateState(OP_FAILED); },
         0,
         {63, -1}},
        {"WaitMonitorOperateIdle", [] { return WaitMonitorOperateIdle(); }, 0, {63, -1}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.call);
        EXPECT_EQ(step.run(), step.result);
        EXPECT_EQ(stored_mailbox(), step.after);

        Operate read = {0xaa, 0x55};
        EXPECT_EQ(GetMonitorOperate(&read), 0);
        EXPECT_EQ((Mailbox{read.OperateEntry, read.OperateState}), step.after);
        uint8_t bytes[2] = {0xaa, 0xaa};
        GetMonitorParaFromShareMemory(ENTRY_OP_TYPE, &bytes[0]);
        GetMonitorParaFromShareMemory(ENTRY_OP_STATE, &bytes[1]);
        EXPECT_EQ((Mailbox{bytes[0], static_cast<int8_t>(bytes[1])}), step.after);
    }
}

TEST(OperateMailbox, GetMonitorOperateRefusesANullPointer)
{
    harness::attach();
    EXPECT_EQ(GetMonitorOperate(nullptr), -1);
}

// Each value is one unsigned byte of the record: 200 must not come back as -56.
TEST(StatusValues, ByteValuesReadBackUnsigned)
{
    const struct Value {
        const char *name;
        size_t offset;
        int (*set)(uint8_t);
        int (*get)();
    } values[] = {
        {"IMU", 30160, SetIMUStatus, GetIMUStatus},
        {"master SQI", 30161, SetMasterAntennaSQI, GetMasterAntennaSQI},
        {"slave SQI", 30162, SetSlaveAntennaSQI, GetSlaveAntennaSQI},
        {"satellites", 30163, nullptr, [] { return int{GetMonitorK418SatNum()}; }},
    };
    uint8_t *record = bytes_of(harness::monitor());
    for (const Value &value : values) {
        SCOPED_TRACE(value.name);
        if (value.set != nullptr)
            EXPECT_EQ(value.set(200), 0);
        else
            record[value.offset] = 200;
        EXPECT_EQ(record[value.offset], 200);
        EXPECT_EQ(value.get(), 200);
    }
}

TEST(StatusValues, ProgressReadIsFlaggedForTheProducer)
{
    ReceiverMonitor &monitor = harness::monitor();
    monitor.HasReadenProgress = 7;

    EXPECT_EQ(SetMonitorUpgradeProgress(42.5f), 0);
    EXPECT_EQ(monitor.UpgradeProgress, 42.5f);
    EXPECT_EQ(GetMonitorHasReadenProgress(), 0);
    EXPECT_EQ(GetMonitorUpgradeProgress(), 42.5f);
    EXPECT_EQ(GetMonitorHasReadenProgress(), 1);
    EXPECT_EQ(GetMonitorUpgradeProgress(), 42.5f);
    EXPECT_EQ(SetMonitorUpgradeProgress(43.0f), 0);
    EXPECT_EQ(GetMonitorHasReadenProgress(), 0);
}

TEST(StatusValues, RecordingStateOfChannelsOneAndTwoOnly)
{
    ReceiverMonitor &monitor = harness::monitor();
    const struct Case {
        uint8_t channel;
        uint8_t rec_state[2]; // after setting 0x77 on the channel from {0x11, 0x22}
        uint8_t read;
    } cases[] = {
        {0, {0x11, 0x22}, 0},
        {1, {0x77, 0x22}, 0x77},
        {2, {0x11, 0x77}, 0x77},
        {3, {0x11, 0x22}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int{c.channel});
        monitor.RecState[0] = 0x11;
        monitor.RecState[1] = 0x22;
        monitor.TCPLinkState[1] = 0x33;
        monitor.CurPosition.Longitude = 1.5;
        SetReceiverRecUsrState(c.channel, 0x77);
        EXPECT_EQ(monitor.RecState[0], c.rec_state[0]);
        EXPECT_EQ(monitor.RecState[1], c.rec_state[1]);
        EXPECT_EQ(monitor.TCPLinkState[1], 0x33);
        EXPECT_EQ(monitor.CurPosition.Longitude, 1.5);
        EXPECT_EQ(GetReceiverRecUsrState(c.channel), c.read);
    }
}

// Posters racing one another: all of them queue on the lock while this test holds it, so on
// its release every one finds the mailbox free at once; later posts race the stand-in taking
// the operations. With the busy test and the post in one hold, no post overwrites another.
TEST(OperateMailbox, ConcurrentPostsAllArrive)
{
    harness::attach();
    const int posters = 4, posts = 8;
    ASSERT_EQ(semaphore_p(ZarvelMonitor.sem), 0);
    std::vector<pid_t> children;
    for (int poster = 0; poster < posters; ++poster) {
        pid_t child = fork();
        if (child == 0) {
            int failures = 0;
            for (int post = 0; post < posts; ++post)
                failures +=
                    PostMonitorOperate(static_cast<OPERATE_ENTRY>(1 + poster * posts + post)) != 0;
            _exit(failures);
        }
        children.push_back(child);
    }
    for (int waited = 0; semctl(ZarvelMonitor.sem, 0, GETNCNT) < posters && waited < 10000;
         waited += 2)
        usleep(2000);
    EXPECT_EQ(semctl(ZarvelMonitor.sem, 0, GETNCNT), posters);
    semaphore_v(ZarvelMonitor.sem);
    harness::Daemon daemon;

    for (pid_t child : children) {
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "poster status " << status;
    }
    ASSERT_TRUE(daemon.wait_for_operations(posters * posts));
    std::vector<int> taken;
    for (const auto &operation : daemon.operations())
        taken.push_back(operation.first);
    std::sort(taken.begin(), taken.end());
    std::vector<int> posted;
    for (int i = 0; i < posters * posts; ++i)
        posted.push_back(1 + i);
    EXPECT_EQ(taken, posted);
}

struct ProbeReport {
    int result = -2;
    long long processor_ms = -1;
    long long wall_ms = -1;
};

ProbeReport parse_probe(const std::string &out)
{
    ProbeReport report;
    std::istringstream(out) >> report.result >> report.processor_ms >> report.wall_ms;
    return report;
}

// The probe is built with a 300 ms bound. The processor check is loose on purpose: a busy poll
// spends all of the wall time, a paused one next to none.
TEST(MailboxWait, GivesUpAtTheBoundWithoutSpinning)
{
    harness::attach();
    SetMonitorOperate(ENTRY_TUNNEX_OP);
    for (const char *mode : {"wait", "post"}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> args = {mode};
        if (std::string(mode) == "post")
            args.push_back("63");
        harness::Result run =
            harness::run("store-wait-probe", {}, {}, harness::default_limit, args);
        ASSERT_EQ(run.status, 0) << run.err;
        ProbeReport report = parse_probe(run.out);

        EXPECT_EQ(report.result, -1) << run.out;
        EXPECT_GE(report.wall_ms, 300) << run.out;
        EXPECT_LT(report.processor_ms * 2, report.wall_ms) << run.out;
        EXPECT_EQ(stored_mailbox(), (Mailbox{64, OP_EXE}));
    }
}

TEST(MailboxWait, PostGoesThroughOnceTheMailboxFrees)
{
    harness::attach();
    SetMonitorOperate(ENTRY_TUNNEX_OP);
    harness::Process probe("store-wait-probe", {"post", "63"});
    // Free the mailbox only once the probe has polled it (it was the last to operate the lock).
    for (int waited = 0; semctl(ZarvelMonitor.sem, 0, GETPID) != probe.pid() && waited < 10000;
         waited += 2)
        usleep(2000);
    SetMonitorOperateState(OP_SUCCESS);

    ASSERT_TRUE(probe.wait_for("\n"));
    EXPECT_EQ(parse_probe(probe.output()).result, 0) << probe.output();
    EXPECT_EQ(stored_mailbox(), (Mailbox{63, OP_EXE}));
}

} // namespace
