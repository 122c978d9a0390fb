// The programs when a neighbour misbehaves, with the fault made from outside: a lock set removed
// while a program waits on it, a set nobody ever gave its value, a lock held past the bound,
// a mailbox that turns busy between the write and the post. Each case checks the answer, the
// record's bytes and the mailbox.
#include <string>
#include <thread>

#include <sys/sem.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "endpoints.h"
#include "harness.h"
#include "semaphore.h"

namespace {

using namespace endpoints;

const std::string failed = R"({ "Res": "failed" })";

bool wait_for_waiters(int sem, int count = 1)
{
    for (int waited = 0; waited < 20000; waited += 2) {
        if (semctl(sem, 0, GETNCNT) >= count)
            return true;
        usleep(2000);
    }
    return false;
}

// A request that runs beside the test while the test moves the locks.
class Background {
public:
    Background(const std::string &program, const std::string &body)
        : thread_([this, program, body] { result_ = harness::post(program, body); })
    {
    }
    ~Background()
    {
        if (thread_.joinable())
            thread_.join();
    }
    harness::Result finish()
    {
        thread_.join();
        return result_;
    }

private:
    harness::Result result_;
    std::thread thread_;
};

std::string config_bytes()
{
    return harness::hex(harness::config());
}

void seed_settings()
{
    ReceiverConfig &config = harness::config();
    config.TUNNEX.enable = 1;
    put(config.TUNNEX.domain, "old.example");
    put(config.TUNNEX.authtoken, "old-token");
    put(config.TUNNEX.region, "eu");
    put(config.DDNS.domain, "ddns.example");
    put(config.StationID, "OLD1");
    put(config.user, "admin");
    put(config.pawd, "pw");
    config.INS.mode = 2;
}

enum class Lock { config, monitor };

struct LostCase {
    const char *name;
    const char *program;
    std::string body;
    Lock lock;
    std::string answer;
};

class LostLock : public testing::TestWithParam<LostCase> {};

// The set goes while the program is queued on it, as when the daemon restarts and makes its
// sets anew: the program does nothing more, posts nothing and answers its failure.
TEST_P(LostLock, AnswersTheFailureAndChangesNothing)
{
    const LostCase &c = GetParam();
    seed_settings();
    const std::string before = config_bytes();
    const int sem = c.lock == Lock::config ? ZarvelConfig.sem : ZarvelMonitor.sem;
    ASSERT_EQ(semaphore_p(sem), 0);

    Background request(c.program, c.body);
    ASSERT_TRUE(wait_for_waiters(sem));
    ASSERT_EQ(semctl(sem, 0, IPC_RMID), 0);
    harness::Result result = request.finish();

    EXPECT_EQ(result.out, harness::header + c.answer);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.err.find("P operation"), std::string::npos) << result.err;
    EXPECT_EQ(config_bytes(), before);
    EXPECT_EQ(mailbox(), std::make_pair(0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LostLock,
    testing::Values(
        LostCase{"TunnexSetConfig", "tunnex", R"({"RN": "new.example"})", Lock::config, failed},
        LostCase{"DdnsDisableConfig", "ddns", R"({"key": 1})", Lock::config, failed},
        LostCase{"PortviaQueryConfig", "portvia", "{}", Lock::config, failed},
        LostCase{"StationmarkSetConfig", "stationmark", R"({"id": "NEW1"})", Lock::config, failed},
        LostCase{"InsChangeConfig", "ins", R"({"enable": 1, "mode": 3})", Lock::config, failed},
        LostCase{"CredsetRightPasswordConfig", "credset",
                 R"({"name": "root", "newPass": "x", "oldPass": "pw"})", Lock::config,
                 R"({ "Res": -1 })"},
        LostCase{"CredsetQueryConfig", "credset", "{}", Lock::config, R"({ "Res": -1 })"},
        LostCase{"TunnexSetMonitor", "tunnex", R"({"RN": "new.example"})", Lock::monitor, failed},
        LostCase{"StationmarkSetMonitor", "stationmark", R"({"id": "NEW1"})", Lock::monitor,
                 failed},
        LostCase{"InsQueryMonitor", "ins", "{}", Lock::monitor, failed},
        LostCase{"FillmeterMonitor", "fillmeter", "{}", Lock::monitor,
                 R"({ "res": "unavailable" })"},
        LostCase{"AersignalMonitor", "aersignal", "{}", Lock::monitor,
                 R"({ "Res": "unavailable" })"}),
    [](const testing::TestParamInfo<LostCase> &info) { return info.param.name; });

struct PutBackCase {
    const char *name;
    const char *program; // the tests' build: the post gives up after 300 ms
    std::string body;
    std::string answer;
    bool later_change; // the test changes the entry while the post waits
};

class PutBack : public testing::TestWithParam<PutBackCase> {};

// The change is written, and then it cannot be announced: the mailbox turned busy, or the
// monitor's set is gone. The record gets back what the program read, unless someone changed
// the entry since, and then that later change stands.
TEST_P(PutBack, KeepsNoChangeThatWasNotAnnounced)
{
    const PutBackCase &c = GetParam();
    seed_settings();
    const std::string before = config_bytes();
    ASSERT_EQ(semaphore_p(ZarvelMonitor.sem), 0);
    Background request(c.program, c.body);

    // Let the program past its wait for an idle mailbox, and stop it at its write.
    ASSERT_TRUE(wait_for_waiters(ZarvelMonitor.sem));
    ASSERT_EQ(semaphore_p(ZarvelConfig.sem), 0);
    ASSERT_EQ(semaphore_v(ZarvelMonitor.sem), 0);
    ASSERT_TRUE(wait_for_waiters(ZarvelConfig.sem));

    // Let it write, and stop it at its post.
    ASSERT_EQ(semaphore_p(ZarvelMonitor.sem), 0);
    ASSERT_EQ(semaphore_v(ZarvelConfig.sem), 0);
    ASSERT_TRUE(wait_for_waiters(ZarvelMonitor.sem));
    EXPECT_NE(config_bytes(), before) << "the change is written before the post";
    if (c.later_change)
        put(harness::config().TUNNEX.authtoken, "later-token");
    const std::string expected = c.later_change ? config_bytes() : before;

    const bool busy = std::string(c.program).find("shortwait") != std::string::npos;
    if (busy) {
        seed_mailbox(ENTRY_IP_OP, OP_EXE);
        ASSERT_EQ(semaphore_v(ZarvelMonitor.sem), 0);
    } else {
        ASSERT_EQ(semctl(ZarvelMonitor.sem, 0, IPC_RMID), 0);
    }
    harness::Result result = request.finish();

    EXPECT_EQ(result.out, harness::header + c.answer);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(config_bytes(), expected);
    EXPECT_EQ(mailbox(),
              busy ? std::make_pair(int{ENTRY_IP_OP}, int{OP_EXE}) : std::make_pair(0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PutBack,
    testing::Values(
        PutBackCase{"TunnexMailboxTurnedBusy", "tunnex-shortwait",
                    R"({"RN": "new.example", "authtoken": "new-token"})",
                    R"({ "State": 1, "Res": "failed" })", false},
        PutBackCase{"TunnexLaterChangeStands", "tunnex-shortwait",
                    R"({"RN": "new.example", "authtoken": "new-token"})",
                    R"({ "State": 1, "Res": "failed" })", true},
        PutBackCase{"TunnexMonitorSetGone", "tunnex", R"({"key": 1})", R"({ "Res": "failed" })",
                    false},
        PutBackCase{"StationmarkMonitorSetGone", "stationmark", R"({"id": "NEW1"})", failed, false},
        PutBackCase{"InsMonitorSetGone", "ins", R"({"enable": 0, "mode": 5})", failed, false}),
    [](const testing::TestParamInfo<PutBackCase> &info) { return info.param.name; });

struct BoundCase {
    const char *name;
    const char *program;
    std::string body;
    Lock lock;
    bool never_given_value; // else: a lock held for good by a process that never lets go
    std::string answer;
};

class LockBound : public testing::TestWithParam<BoundCase> {};

// No request waits for ever on a lock: a set that exists at 0 because its creator died before
// giving it its value, or a lock that is never released, fails the request at the bound.
TEST_P(LockBound, EndsTheRequestWithItsFailure)
{
    const BoundCase &c = GetParam();
    const key_t key = c.lock == Lock::config ? CONFIG_SEM_KEY : MONITOR_SEM_KEY;
    if (c.never_given_value) {
        ASSERT_NE(semget(key, 1, IPC_CREAT | IPC_EXCL | 0666), -1);
    } else {
        harness::attach();
        ASSERT_EQ(semaphore_p(semget(key, 1, 0)), 0);
    }

    harness::Result result = harness::post(c.program, c.body, harness::Millis(15000));

    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.out, harness::header + c.answer);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(
        result.err.find(c.never_given_value ? "was never given its value" : "still held after"),
        std::string::npos)
        << result.err;
    EXPECT_EQ(config_bytes(), harness::hex(ReceiverConfig{}));
    EXPECT_EQ(mailbox(), std::make_pair(0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LockBound,
    testing::Values(BoundCase{"TunnexSetNeverGiven", "tunnex", R"({"RN": "new.example"})",
                              Lock::config, true, failed},
                    BoundCase{"CredsetQueryNeverGiven", "credset", "{}", Lock::config, true,
                              R"({ "Res": -1 })"},
                    BoundCase{"FillmeterNeverGiven", "fillmeter", "{}", Lock::monitor, true,
                              R"({ "res": "unavailable" })"},
                    BoundCase{"StationmarkSetHeld", "stationmark", R"({"id": "NEW1"})",
                              Lock::config, false, failed},
                    BoundCase{"AersignalHeld", "aersignal", "{}", Lock::monitor, false,
                              R"({ "Res": "unavailable" })"}),
    [](const testing::TestParamInfo<BoundCase> &info) { return info.param.name; });

// Two changes of the login against the same old password, let go together: one of them is
// stored whole and the other is refused, never one's name with the other's password.
TEST(Credset, TwoChangesAtOnceNeverMix)
{
    put(harness::config().user, "admin");
    put(harness::config().pawd, "pw");
    ASSERT_EQ(semaphore_p(ZarvelConfig.sem), 0);
    Background first("credset", R"({"name": "first", "newPass": "first-pw", "oldPass": "pw"})");
    Background second("credset", R"({"name": "second", "newPass": "second-pw", "oldPass": "pw"})");
    ASSERT_TRUE(wait_for_waiters(ZarvelConfig.sem, 2));
    ASSERT_EQ(semaphore_v(ZarvelConfig.sem), 0);
    const std::string answers = first.finish().out + second.finish().out;

    const std::string accepted = harness::header + R"({ "Res": 0 })";
    const std::string refused = harness::header + R"({ "Res": -1 })";
    EXPECT_TRUE(answers == accepted + refused || answers == refused + accepted) << answers;
    const std::string user = reinterpret_cast<const char *>(harness::config().user);
    uint8_t password[16];
    put(password, user + "-pw");
    EXPECT_EQ(harness::hex(harness::config().pawd), harness::hex(password)) << user;
}

} // namespace
