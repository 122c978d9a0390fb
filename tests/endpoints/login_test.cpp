// credset and stationmark: 16-byte texts that a full field leaves without a NUL.
#include <string>

#include <gtest/gtest.h>

#include "endpoints.h"
#include "harness.h"

namespace {

using namespace endpoints;

struct LoginCase {
    const char *name;
    std::string user, password; // stored bytes
    std::string body;
    std::string answer;
    std::string user_after, password_after;
};

class Credset : public testing::TestWithParam<LoginCase> {};

TEST_P(Credset, ChangesOnlyAgainstTheOldPassword)
{
    const LoginCase &c = GetParam();
    ReceiverConfig &config = harness::config();
    put(config.user, c.user);
    put(config.pawd, c.password);

    harness::Result result = harness::post("credset", c.body);

    EXPECT_EQ(result.out, harness::header + c.answer);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    uint8_t user[16], password[16];
    put(user, c.user_after);
    put(password, c.password_after);
    EXPECT_EQ(harness::hex(config.user), harness::hex(user));
    EXPECT_EQ(harness::hex(config.pawd), harness::hex(password));
    EXPECT_EQ(mailbox(), std::make_pair(0, 0)); // a login change is never announced
}

const std::string full = "0123456789abcdef";
const std::string refused = "{ \"Res\": -1 }";
const std::string accepted = "{ \"Res\": 0 }";

INSTANTIATE_TEST_SUITE_P(
    Cases, Credset,
    testing::Values(
        LoginCase{"QueryAnswersTheName", "admin", "pw", "{}", R"({ "name": "admin", "Res": 0 })",
                  "admin", "pw"},
        LoginCase{"QueryAnswersAFullNameWhole", full, "pw", "{}",
                  R"({ "name": ")" + full + R"(", "Res": 0 })", full, "pw"},
        LoginCase{"RightOldPasswordChangesBoth", "admin", "pw",
                  R"({"name": "root", "newPass": "n3w", "oldPass": "pw"})", accepted, "root",
                  "n3w"},
        LoginCase{
            "LongTextsAreCutTo16", "admin", "pw",
            R"({"name": "abcdefghijklmnopqrst", "newPass": "ABCDEFGHIJKLMNOPQRST", "oldPass": "pw"})",
            accepted, "abcdefghijklmnop", "ABCDEFGHIJKLMNOP"},
        LoginCase{"WrongOldPasswordChangesNothing", "admin", "pw",
                  R"({"name": "root", "newPass": "n3w", "oldPass": "PW"})", refused, "admin", "pw"},
        LoginCase{"FullStoredPasswordMatchesWhole", "admin", full,
                  R"({"name": "root", "newPass": "", "oldPass": ")" + full + R"("})", accepted,
                  "root", ""},
        LoginCase{"OneCharacterMoreThanTheFullPasswordDoesNotMatch", "admin", full,
                  R"({"name": "root", "newPass": "n3w", "oldPass": ")" + full + R"(X"})", refused,
                  "admin", full},
        LoginCase{"EmptyOldPasswordMatchesAnEmptyOne", "admin", "",
                  R"({"name": "root", "newPass": "n3w", "oldPass": ""})", accepted, "root", "n3w"},
        LoginCase{"AbsentOldPasswordNeverMatches", "admin", "(null)",
                  R"({"name": "root", "newPass": "n3w"})", refused, "admin", "(null)"},
        LoginCase{"NullOldPasswordNeverMatches", "admin", "(null)",
                  R"({"name": "root", "newPass": "n3w", "oldPass": null})", refused, "admin",
                  "(null)"},
        LoginCase{"AbsentNewPasswordIsRefused", "admin", "pw",
                  R"({"name": "root", "oldPass": "pw"})", refused, "admin", "pw"},
        LoginCase{"NullNewPasswordIsRefused", "admin", "pw",
                  R"({"name": "root", "newPass": null, "oldPass": "pw"})", refused, "admin", "pw"},
        LoginCase{"NullNameIsRefused", "admin", "pw",
                  R"({"name": null, "newPass": "n3w", "oldPass": "pw"})", refused, "admin", "pw"}),
    [](const testing::TestParamInfo<LoginCase> &info) { return info.param.name; });

struct StationCase {
    const char *name;
    std::string stored;
    std::string body;
    std::string answer;
    std::string after;
    bool posted;
};

class Stationmark : public testing::TestWithParam<StationCase> {};

TEST_P(Stationmark, AnswersAndAnnouncesTheId)
{
    const StationCase &c = GetParam();
    put(harness::config().StationID, c.stored);
    harness::Daemon daemon;

    harness::Result result = harness::post("stationmark", c.body);

    EXPECT_EQ(result.out, harness::header + c.answer);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    uint8_t after[16];
    put(after, c.after);
    EXPECT_EQ(harness::hex(harness::config().StationID), harness::hex(after));
    if (c.posted) {
        ASSERT_TRUE(daemon.wait_for_operations(1));
        EXPECT_EQ(daemon.operations(), (Operations{{ENTRY_SID_OP, harness::hex(after)}}));
    } else {
        EXPECT_EQ(mailbox(), std::make_pair(0, 0));
        EXPECT_EQ(daemon.operations(), Operations{});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Stationmark,
    testing::Values(
        StationCase{"QueryAnswersTheId", "BASE1", "{}", R"({ "id": "BASE1" })", "BASE1", false},
        StationCase{"QueryAnswersAFullIdWhole", full, "{}", R"({ "id": ")" + full + R"(" })", full,
                    false},
        StationCase{"NullIdIsAQuery", "BASE1", R"({"id": null})", R"({ "id": "BASE1" })", "BASE1",
                    false},
        StationCase{"ShortIdIsFollowedByZeros", "OLDSTATIONID", R"({"id": "ABCD"})", "{ }", "ABCD",
                    true},
        StationCase{"LongIdIsCutTo16", "BASE1", R"({"id": "abcdefghijklmnopqrst"})", "{ }",
                    "abcdefghijklmnop", true},
        StationCase{"NumberIdTakesItsText", "BASE1", R"({"id": 42})", "{ }", "42", true}),
    [](const testing::TestParamInfo<StationCase> &info) { return info.param.name; });

} // namespace
