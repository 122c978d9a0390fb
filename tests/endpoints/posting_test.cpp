// Posting while the mailbox is busy: simultaneous posts all reach the daemon, a waiting poster
// sleeps rather than spins, and one that gives up posts nothing and says so.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/shm.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "endpoints.h"
#include "harness.h"

namespace {

using namespace endpoints;

// Processes attached to the monitor record, the test process included.
int monitor_attachments()
{
    struct shmid_ds info;
    return shmctl(ZarvelMonitor.shm_id, IPC_STAT, &info) == 0 ? static_cast<int>(info.shm_nattch)
                                                              : -1;
}

bool wait_for_attachments(int count)
{
    for (int waited = 0; waited < 20000; waited += 10) {
        if (monitor_attachments() >= count)
            return true;
        usleep(10000);
    }
    return false;
}

// User and system time of a process, in clock ticks.
long cpu_ticks(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int number = 3; fields >> field; ++number) {
        if (number == 14)
            utime = std::stol(field);
        if (number == 15) {
            stime = std::stol(field);
            break;
        }
    }
    return utime + stime;
}

template <typename Record> std::string zero_hex()
{
    Record record = {};
    return harness::hex(record);
}

TEST(Posting, PostersReleasedTogetherAllReachTheDaemon)
{
    // A busy mailbox holds every poster in its wait before the write. Let go at once, they all
    // find it idle together, so a busy test apart from its post would let each of them post
    // over the others. The daemon comes only after, and must find every post.
    harness::attach();
    seed_mailbox(ENTRY_IP_OP, OP_EXE);
    struct Post {
        const char *program;
        std::string body;
        std::string answer;
    };
    const std::vector<Post> posts = {
        {"tunnex", R"({"key": 1})", R"({ "State": 0, "Res": "success" })"},
        {"tunnex", R"({"key": 1})", R"({ "State": 0, "Res": "success" })"},
        {"ddns", R"({"key": 1})", R"({ "State": 0, "Res": "success" })"},
        {"portvia", R"({"RN": "p.example"})", R"({ "State": 1, "Res": "success" })"},
        {"stationmark", R"({"id": "S1"})", "{ }"},
        {"stationmark", R"({"id": "S1"})", "{ }"},
    };
    std::vector<harness::Result> results(posts.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < posts.size(); ++i)
        threads.emplace_back(
            [&, i] { results[i] = harness::post(posts[i].program, posts[i].body); });

    const bool all_waiting = wait_for_attachments(static_cast<int>(posts.size()) + 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    seed_mailbox(ENTRY_IP_OP, OP_SUCCESS);
    harness::Daemon daemon;
    for (std::thread &thread : threads)
        thread.join();
    ASSERT_TRUE(all_waiting);

    for (size_t i = 0; i < posts.size(); ++i)
        EXPECT_EQ(results[i].out, harness::header + posts[i].answer) << posts[i].program;
    daemon.wait_for_operations(posts.size());
    PORTVIAConfig portvia = {};
    portvia.enable = 1;
    put(portvia.domain, "p.example");
    uint8_t station[16];
    put(station, "S1");
    Operations expected = {
        {ENTRY_TUNNEX_OP, zero_hex<TUNNEXConfig>()}, {ENTRY_TUNNEX_OP, zero_hex<TUNNEXConfig>()},
        {ENTRY_DDNS_OP, zero_hex<DDNSConfig>()},     {ENTRY_PORTVIA_OP, harness::hex(portvia)},
        {ENTRY_SID_OP, harness::hex(station)},       {ENTRY_SID_OP, harness::hex(station)},
    };
    Operations taken = daemon.operations();
    std::sort(expected.begin(), expected.end());
    std::sort(taken.begin(), taken.end());
    EXPECT_EQ(taken, expected);
}

TEST(Posting, WaitingPosterSleepsAndPostsOnceFreed)
{
    seed_mailbox(ENTRY_IP_OP, OP_EXE);
    harness::Process poster("tunnex", {},
                            {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", R"({"key": 1})"}});
    ASSERT_TRUE(wait_for_attachments(2));

    const long before = cpu_ticks(poster.pid());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long spent = cpu_ticks(poster.pid()) - before;

    // A spinning poller would take the whole second; allow a quarter of it.
    EXPECT_LT(spent, sysconf(_SC_CLK_TCK) / 4);
    EXPECT_EQ(mailbox(), std::make_pair(int{ENTRY_IP_OP}, int{OP_EXE}));
    seed_mailbox(ENTRY_IP_OP, OP_SUCCESS);
    ASSERT_TRUE(poster.wait_for("}"));
    EXPECT_EQ(poster.output(), harness::header + R"({ "State": 0, "Res": "success" })");
    EXPECT_EQ(mailbox(), std::make_pair(int{ENTRY_TUNNEX_OP}, int{OP_EXE}));
}

struct GiveUpCase {
    const char *name;
    const char *program; // built with a 300 ms bound on the wait
    std::string body;
    bool busy; // the mailbox is held in OP_EXE by an operation nobody finishes
    std::string answer;
    std::pair<int, int> mailbox_after;
    bool written; // the change stays: it was posted before the wait that gave up
};

class GiveUp : public testing::TestWithParam<GiveUpCase> {};

TEST_P(GiveUp, PostsNothingAndAnswersFailed)
{
    const GiveUpCase &c = GetParam();
    seed_mailbox(c.busy ? ENTRY_IP_OP : ENTRY_NULL_OP, c.busy ? OP_EXE : OP_COMPLETE);

    harness::Result result = harness::post(c.program, c.body);

    EXPECT_EQ(result.out, harness::header + c.answer);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(mailbox(), c.mailbox_after);
    // A program writes only once the mailbox is idle, so a give-up leaves the record alone.
    EXPECT_EQ(harness::hex(harness::config()) != zero_hex<ReceiverConfig>(), c.written);
}

const std::pair<int, int> held = {ENTRY_IP_OP, OP_EXE};

INSTANTIATE_TEST_SUITE_P(
    Cases, GiveUp,
    testing::Values(
        GiveUpCase{"TunnexSet", "tunnex-shortwait", R"({"RN": "a.example"})", true,
                   R"({ "State": 1, "Res": "failed" })", held, false},
        GiveUpCase{"DdnsDisable", "ddns-shortwait", R"({"key": 1})", true,
                   R"({ "State": 0, "Res": "failed" })", held, false},
        GiveUpCase{"PortviaSet", "portvia-shortwait", R"({"RN": "p.example"})", true,
                   R"({ "State": 1, "Res": "failed" })", held, false},
        GiveUpCase{"StationmarkSet", "stationmark-shortwait", R"({"id": "S1"})", true,
                   R"({ "Res": "failed" })", held, false},
        GiveUpCase{"InsChange", "ins-shortwait", R"({"enable": 1})", true, R"({ "Res": "failed" })",
                   held, false},
        GiveUpCase{"InsQuery", "ins-shortwait", "{}", true,
                   R"({ "enable": 0, "mode": 0, "initSV": 0, "imuState": 0, "Res": "failed" })",
                   held, false},
        GiveUpCase{"InsOwnOperationNeverFinished",
                   "ins-shortwait",
                   R"({"enable": 1})",
                   false,
                   R"({ "Res": "failed" })",
                   {ENTRY_INS_OP, OP_EXE},
                   true}),
    [](const testing::TestParamInfo<GiveUpCase> &info) { return info.param.name; });

} // namespace
