// fillmeter and aersignal through the CGI host: the monitor record's values in, exact bytes out.
#include <cfloat>
#include <string>
#include <sys/shm.h>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

using harness::header;

// Every way a page may ask; none of them changes the answer.
const harness::Env requests[] = {
    {},
    {{"REQUEST_METHOD", "GET"}},
    {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "{\"res\":\"55.00\",\"Ant1SQI\":9}"}},
    {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "14"}},
    {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "4"}},
    {{"REQUEST_METHOD", "PUT"}, {"CONTENT_LENGTH", "14"}},
};
const std::string body = "{\"Ant2SQI\": 1}";

struct ProgressCase {
    const char *name;
    bool seeded; // false: the fresh, zero-filled record
    float progress;
    std::string answer;
};

class Progress : public testing::TestWithParam<ProgressCase> {};

TEST_P(Progress, AnswersTheTextAndMarksItRead)
{
    const ProgressCase &c = GetParam();
    if (c.seeded)
        harness::monitor().UpgradeProgress = c.progress;
    for (const harness::Env &env : requests) {
        harness::monitor().HasReadenProgress = 0;
        harness::Result result = harness::run("fillmeter", env, body);
        EXPECT_EQ(result.out, header + c.answer);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(harness::monitor().HasReadenProgress, 1);
    }
    // Read again without a new value: still marked read, nothing else moved.
    harness::run("fillmeter", {});
    EXPECT_EQ(harness::monitor().HasReadenProgress, 1);
    EXPECT_EQ(harness::hex(harness::monitor().UpgradeProgress), harness::hex(c.progress));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Progress,
    testing::Values(ProgressCase{"FreshRecord", false, 0.0f, "{ \"res\": \"0.00\" }"},
                    ProgressCase{"Half", true, 37.5f, "{ \"res\": \"37.50\" }"},
                    ProgressCase{"Full", true, 100.0f, "{ \"res\": \"100.00\" }"},
                    ProgressCase{"RoundsUp", true, 99.999f, "{ \"res\": \"100.00\" }"},
                    ProgressCase{"Negative", true, -12.345f, "{ \"res\": \"-12.35\" }"},
                    // The text never grows beyond 31 characters, whatever the daemon stored.
                    ProgressCase{"LargestFloatIsCut", true, FLT_MAX,
                                 "{ \"res\": \"3402823466385288598117041834845\" }"}),
    [](const testing::TestParamInfo<ProgressCase> &info) { return info.param.name; });

struct SignalCase {
    const char *name;
    bool seeded;
    uint8_t master, slave;
    std::string answer;
};

class Signal : public testing::TestWithParam<SignalCase> {};

TEST_P(Signal, AnswersBothValuesAsInnerJsonText)
{
    const SignalCase &c = GetParam();
    if (c.seeded) {
        harness::monitor().Ant1SQI = c.master;
        harness::monitor().Ant2SQI = c.slave;
    }
    for (const harness::Env &env : requests) {
        harness::Result result = harness::run("aersignal", env, body);
        EXPECT_EQ(result.out, header + c.answer);
        EXPECT_EQ(result.status, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Signal,
    testing::Values(
        SignalCase{"FreshRecord", false, 0, 0,
                   "{ \"Res\": \"ok\", \"log\": \"{ \\\"Ant1SQI\\\": 0, \\\"Ant2SQI\\\": 0 }\" }"},
        SignalCase{
            "FullByteIsNotNegative", true, 255, 1,
            "{ \"Res\": \"ok\", \"log\": \"{ \\\"Ant1SQI\\\": 255, \\\"Ant2SQI\\\": 1 }\" }"},
        SignalCase{
            "EachAntennaItsOwn", true, 42, 200,
            "{ \"Res\": \"ok\", \"log\": \"{ \\\"Ant1SQI\\\": 42, \\\"Ant2SQI\\\": 200 }\" }"}),
    [](const testing::TestParamInfo<SignalCase> &info) { return info.param.name; });

// Both attach before they answer: without the records a client gets nothing at all.
TEST(Status, NoOutputWhenTheRecordsCannotBeAttached)
{
    // A monitor segment too small for the record cannot be attached.
    ASSERT_GE(shmget(MONITOR_SHM_KEY, 16, 01666), 0);
    for (const char *name : {"fillmeter", "aersignal"}) {
        harness::Result result = harness::run(name, {{"REQUEST_METHOD", "GET"}});
        EXPECT_EQ(result.out, "") << name;
        EXPECT_EQ(result.status, 1) << name;
    }
}

} // namespace
