// ins: the change is answered only after the daemon has finished it, so the stand-in takes a
// while over each operation and the mailbox must have left OP_EXE when the answer arrives.
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "endpoints.h"
#include "harness.h"

namespace {

using namespace endpoints;

INSConfig ins(int enable, int mode, int axial, float initial)
{
    INSConfig record = {};
    record.enable = static_cast<uint8_t>(enable);
    record.mode = static_cast<uint8_t>(mode);
    record.axial = static_cast<uint8_t>(axial);
    record.initSV = initial;
    return record;
}

struct Case {
    const char *name;
    INSConfig stored;
    std::string body;
    std::string answer;
    INSConfig after;
    bool posted;
};

const std::string changed = "{ \"Res\": \"Success\" }";

class Ins : public testing::TestWithParam<Case> {};

TEST_P(Ins, AnswersAndStores)
{
    const Case &c = GetParam();
    harness::config().INS = c.stored;
    harness::monitor().IMUState = 200;
    harness::Daemon daemon({"--delay-ms", "300"});

    harness::Result result = harness::post("ins", c.body);

    EXPECT_EQ(result.out, harness::header + c.answer);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(harness::hex(harness::config().INS), harness::hex(c.after));
    if (c.posted) {
        EXPECT_EQ(mailbox(), std::make_pair(int{ENTRY_INS_OP}, int{OP_SUCCESS}));
        EXPECT_EQ(daemon.operations(), (Operations{{ENTRY_INS_OP, harness::hex(c.after)}}));
    } else {
        EXPECT_EQ(mailbox(), std::make_pair(0, 0));
        EXPECT_EQ(daemon.operations(), Operations{});
    }
}

const float nan = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, Ins,
    testing::Values(
        Case{"ChangeSwapsTheModeAndMarksIt", ins(0, 2, 0, 0.5f),
             R"({"enable": 1, "mode": 6, "initSV": 2.5})", changed, ins(1, 7, 1, 2.5f), true},
        Case{"SameModeClearsTheMark", ins(1, 7, 1, 2.5f),
             R"({"enable": 1, "mode": 6, "initSV": 2.5})", changed, ins(1, 7, 0, 2.5f), true},
        Case{"EnableKeepsItsLowByteAndAbsentKeysChangeNothing", ins(0, 2, 1, 1.0f),
             R"({"enable": 257})", changed, ins(1, 2, 0, 1.0f), true},
        Case{"OutOfRangeValuesKeepTheStoredOnes", ins(1, 2, 0, 3.0f),
             R"({"enable": 0, "mode": 9, "initSV": 1e-50})", changed, ins(0, 2, 0, 3.0f), true},
        Case{"AnInitialValueBeyondTheFloatsIsKept", ins(1, 3, 0, 3.0f),
             R"({"enable": 1, "mode": 0, "initSV": 1e39})", changed, ins(1, 3, 0, 3.0f), true},
        Case{"NegativeInitialValuesAreKept", ins(1, 3, 0, 3.0f),
             R"({"enable": 1, "mode": 3, "initSV": -1e39})", changed, ins(1, 4, 1, 3.0f), true},
        Case{"QueryMapsTheModeBackAndCutsTheValue", ins(1, 7, 1, 2.5f), "{}",
             R"({ "enable": 1, "mode": 6, "initSV": 2, "imuState": 200, "Res": "Success" })",
             ins(1, 7, 1, 2.5f), false},
        Case{"QueryOfAStoredModeOutsideTheTableIsZero", ins(255, 9, 0, 0.9f), "{}",
             R"({ "enable": 255, "mode": 0, "initSV": 0, "imuState": 200, "Res": "Success" })",
             ins(255, 9, 0, 0.9f), false},
        Case{
            "QuerySaturatesAValueBeyondTheIntegers", ins(0, 1, 0, 1e30f), "{}",
            R"({ "enable": 0, "mode": 2, "initSV": 2147483647, "imuState": 200, "Res": "Success" })",
            ins(0, 1, 0, 1e30f), false},
        Case{
            "QueryOfANegativeValueBeyondTheIntegers", ins(0, 8, 0, -1e30f), "{}",
            R"({ "enable": 0, "mode": 5, "initSV": -2147483648, "imuState": 200, "Res": "Success" })",
            ins(0, 8, 0, -1e30f), false},
        Case{"QueryOfANotANumberValueIsZero", ins(0, 4, 0, nan), "{}",
             R"({ "enable": 0, "mode": 3, "initSV": 0, "imuState": 200, "Res": "Success" })",
             ins(0, 4, 0, nan), false}),
    [](const testing::TestParamInfo<Case> &info) { return info.param.name; });

// A query answers only once another endpoint's operation is no longer executing.
TEST(Ins, QueryWaitsForTheExecutingOperation)
{
    seed_mailbox(ENTRY_TUNNEX_OP, OP_EXE);
    harness::Daemon daemon({"--delay-ms", "500"});
    ASSERT_TRUE(daemon.wait_for_operations(1));

    harness::Result result = harness::post("ins", "{}");

    EXPECT_EQ(result.out,
              harness::header +
                  R"({ "enable": 0, "mode": 0, "initSV": 0, "imuState": 0, "Res": "Success" })");
    EXPECT_EQ(mailbox(), std::make_pair(int{ENTRY_TUNNEX_OP}, int{OP_SUCCESS}));
}

} // namespace
