// tunnex, ddns and portvia: each request through the CGI host with the daemon stand-in taking
// the posted operation; the answer's bytes, the record's bytes after, and the record as the
// stand-in found it when it took the operation.
#include <string>

#include <gtest/gtest.h>

#include "endpoints.h"
#include "harness.h"

namespace {

using namespace endpoints;

template <typename Record> struct Case {
    const char *name;
    Record stored;
    std::string body;
    std::string answer;
    Record after;
    bool posted;
};

template <typename Record>
void check(const char *program, OPERATE_ENTRY operation, Record &live, const Case<Record> &c)
{
    live = c.stored;
    harness::Daemon daemon;

    harness::Result result = harness::post(program, c.body);

    EXPECT_EQ(result.out, harness::header + c.answer);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(harness::hex(live), harness::hex(c.after));
    if (c.posted) {
        ASSERT_TRUE(daemon.wait_for_operations(1));
        EXPECT_EQ(daemon.operations(), (Operations{{operation, harness::hex(c.after)}}));
    } else {
        EXPECT_EQ(mailbox(), std::make_pair(0, 0));
        EXPECT_EQ(daemon.operations(), Operations{});
    }
}

template <typename Record> std::string case_name(const testing::TestParamInfo<Case<Record>> &info)
{
    return info.param.name;
}

TUNNEXConfig tunnex(int enable, const std::string &domain, const std::string &token,
                    const std::string &region)
{
    TUNNEXConfig record = {};
    record.enable = static_cast<uint8_t>(enable);
    put(record.domain, domain);
    put(record.authtoken, token);
    put(record.region, region);
    return record;
}

DDNSConfig ddns(int enable, const std::string &domain, const std::string &server,
                const std::string &user, const std::string &password)
{
    DDNSConfig record = {};
    record.enable = static_cast<uint8_t>(enable);
    put(record.domain, domain);
    put(record.server_name, server);
    put(record.user_name, user);
    put(record.password, password);
    return record;
}

PORTVIAConfig portvia(int enable, const std::string &domain, const std::string &token)
{
    PORTVIAConfig record = {};
    record.enable = static_cast<uint8_t>(enable);
    put(record.domain, domain);
    put(record.authtoken, token);
    return record;
}

const std::string set_answer = "{ \"State\": 1, \"Res\": \"success\" }";
const std::string disable_answer = "{ \"State\": 0, \"Res\": \"success\" }";
const std::string forty = repeat("abcdefghij", 40);

// The region's fourth byte is not part of the code, so it must survive every set.
const TUNNEXConfig tunnex_stored = tunnex(1, "old.example.net", "tok-old", "eu\0Z"s);

class Tunnex : public testing::TestWithParam<Case<TUNNEXConfig>> {};

TEST_P(Tunnex, AnswersAndStores)
{
    check("tunnex", ENTRY_TUNNEX_OP, harness::config().TUNNEX, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Tunnex,
    testing::Values(
        Case<TUNNEXConfig>{
            "QueryAnswersTheStoredSettings", tunnex_stored, "{}",
            R"({ "RN": "old.example.net", "authtoken": "tok-old", "region": 2, "State": 1, "Res": "success" })",
            tunnex_stored, false},
        Case<TUNNEXConfig>{
            "QueryStopsAtTheFirstNul", tunnex(0, "new.io\0mple.net"s, "t2\0-old"s, "in\0Z"s),
            "{\"other\": 1}",
            R"({ "RN": "new.io", "authtoken": "t2", "region": 7, "State": 0, "Res": "success" })",
            tunnex(0, "new.io\0mple.net"s, "t2\0-old"s, "in\0Z"s), false},
        Case<TUNNEXConfig>{
            "QueryTestsUsBeforeEu", tunnex(1, "d", "t", "eus"), "{}",
            R"({ "RN": "d", "authtoken": "t", "region": 1, "State": 1, "Res": "success" })",
            tunnex(1, "d", "t", "eus"), false},
        Case<TUNNEXConfig>{
            "QueryUnknownRegionIsZero", tunnex(1, "d", "t", "xx"), "{}",
            R"({ "RN": "d", "authtoken": "t", "region": 0, "State": 1, "Res": "success" })",
            tunnex(1, "d", "t", "xx"), false},
        Case<TUNNEXConfig>{
            "QueryFullDomainWithoutNul", tunnex(1, repeat("d", 33), "t", "jp"), "{}",
            R"({ "RN": ")" + repeat("d", 33) +
                R"(", "authtoken": "t", "region": 5, "State": 1, "Res": "success" })",
            tunnex(1, repeat("d", 33), "t", "jp"), false},
        Case<TUNNEXConfig>{"SetKeepsOldBytesAfterTheNul", tunnex_stored,
                           R"({"RN": "new.io", "authtoken": "t2", "region": 7})", set_answer,
                           tunnex(1, "new.io\0mple.net"s, "t2\0-old"s, "in\0Z"s), true},
        Case<TUNNEXConfig>{"SetRegionZeroKeepsStored", tunnex_stored,
                           R"({"RN": "new.io", "authtoken": "t2", "region": 0})", set_answer,
                           tunnex(1, "new.io\0mple.net"s, "t2\0-old"s, "eu\0Z"s), true},
        Case<TUNNEXConfig>{"SetRegionEightKeepsStored", tunnex_stored,
                           R"({"RN": "new.io", "authtoken": "t2", "region": 8})", set_answer,
                           tunnex(1, "new.io\0mple.net"s, "t2\0-old"s, "eu\0Z"s), true},
        Case<TUNNEXConfig>{"SetRegionMinusOneKeepsStored", tunnex_stored,
                           R"({"RN": "new.io", "authtoken": "t2", "region": -1})", set_answer,
                           tunnex(1, "new.io\0mple.net"s, "t2\0-old"s, "eu\0Z"s), true},
        Case<TUNNEXConfig>{"SetCuts40CharacterDomainAndKeepsAbsentKeys",
                           tunnex(0, "old.example.net", "tok-old", "sa"),
                           R"({"RN": ")" + forty + R"("})", set_answer,
                           tunnex(1, forty.substr(0, 32), "tok-old", "sa"), true},
        Case<TUNNEXConfig>{
            "SetCuts150CharacterTokenTo100", tunnex_stored,
            R"({"RN": "old.example.net", "authtoken": ")" + repeat("t", 150) + R"(", "region": 1})",
            set_answer, tunnex(1, "old.example.net", repeat("t", 100), "us\0Z"s), true},
        Case<TUNNEXConfig>{"SetWithNullDomainKeepsIt", tunnex_stored,
                           R"({"RN": null, "authtoken": "t2", "region": 3})", set_answer,
                           tunnex(1, "old.example.net", "t2\0-old"s, "au\0Z"s), true},
        Case<TUNNEXConfig>{"SetTakesANumberAsItsText", tunnex_stored,
                           R"({"RN": "x", "authtoken": 12345})", set_answer,
                           tunnex(1, "x\0d.example.net"s, "12345\0d"s, "eu\0Z"s), true},
        Case<TUNNEXConfig>{"DisableKeepsTheSettings", tunnex_stored, R"({"key": 1})",
                           disable_answer, tunnex(0, "old.example.net", "tok-old", "eu\0Z"s), true},
        Case<TUNNEXConfig>{"KeyWinsOverRN", tunnex_stored,
                           R"({"key": "", "RN": "x.example", "authtoken": "t", "region": 1})",
                           disable_answer, tunnex(0, "old.example.net", "tok-old", "eu\0Z"s), true},
        Case<TUNNEXConfig>{"NullKeyDisables", tunnex_stored, R"({"key": null})", disable_answer,
                           tunnex(0, "old.example.net", "tok-old", "eu\0Z"s), true}),
    case_name<TUNNEXConfig>);

const DDNSConfig ddns_stored = ddns(1, "home.example", "srv.example", "alice", "secret");

class Ddns : public testing::TestWithParam<Case<DDNSConfig>> {};

TEST_P(Ddns, AnswersAndStores)
{
    check("ddns", ENTRY_DDNS_OP, harness::config().DDNS, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ddns,
    testing::Values(
        Case<DDNSConfig>{
            "QueryAnswersTheStoredSettings", ddns_stored, "{}",
            R"({ "RN": "home.example", "SP": "srv.example", "username": "alice", "password": "secret", "State": 1, "Res": "success" })",
            ddns_stored, false},
        Case<DDNSConfig>{"QueryCutsFullFieldsTo32",
                         ddns(0, repeat("d", 33), repeat("s", 33), "u", repeat("p", 17)), "{}",
                         R"({ "RN": ")" + repeat("d", 32) + R"(", "SP": ")" + repeat("s", 32) +
                             R"(", "username": "u", "password": ")" + repeat("p", 17) +
                             R"(", "State": 0, "Res": "success" })",
                         ddns(0, repeat("d", 33), repeat("s", 33), "u", repeat("p", 17)), false},
        Case<DDNSConfig>{
            "SetCutsA20CharacterPasswordTo16", ddns_stored,
            R"({"RN": "h2", "SP": "s2", "username": "bob", "password": "abcdefghijklmnopqrst"})",
            set_answer, ddns(1, "h2\0e.example"s, "s2\0.example"s, "bob\0e"s, "abcdefghijklmnop"),
            true},
        Case<DDNSConfig>{
            "SetWithNullPasswordKeepsIt", ddns(0, "home.example", "srv.example", "alice", "secret"),
            R"({"RN": "home.example", "SP": "srv.example", "username": "alice", "password": null})",
            set_answer, ddns_stored, true},
        Case<DDNSConfig>{"DisableKeepsTheSettings", ddns_stored, R"({"key": 0})", disable_answer,
                         ddns(0, "home.example", "srv.example", "alice", "secret"), true}),
    case_name<DDNSConfig>);

const PORTVIAConfig portvia_stored = portvia(1, "pv.example", "pvtoken");

class Portvia : public testing::TestWithParam<Case<PORTVIAConfig>> {};

TEST_P(Portvia, AnswersAndStores)
{
    check("portvia", ENTRY_PORTVIA_OP, harness::config().PORTVIA, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Portvia,
    testing::Values(
        Case<PORTVIAConfig>{
            "QueryAnswersTheStoredSettings", portvia_stored, "{}",
            R"({ "RN": "pv.example", "authtoken": "pvtoken", "State": 1, "Res": "success" })",
            portvia_stored, false},
        Case<PORTVIAConfig>{"QueryCutsFullFieldsTo32", portvia(1, repeat("d", 33), repeat("t", 33)),
                            "{}",
                            R"({ "RN": ")" + repeat("d", 32) + R"(", "authtoken": ")" +
                                repeat("t", 32) + R"(", "State": 1, "Res": "success" })",
                            portvia(1, repeat("d", 33), repeat("t", 33)), false},
        Case<PORTVIAConfig>{"SetCuts40CharacterToken", portvia(0, "pv.example", "pvtoken"),
                            R"({"RN": "n.example", "authtoken": ")" + forty + R"("})", set_answer,
                            portvia(1, "n.example", forty.substr(0, 32)), true},
        Case<PORTVIAConfig>{"DisableKeepsTheSettings", portvia_stored, R"({"key": 1, "RN": ""})",
                            disable_answer, portvia(0, "pv.example", "pvtoken"), true}),
    case_name<PORTVIAConfig>);

} // namespace
