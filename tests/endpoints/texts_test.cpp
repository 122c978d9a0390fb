// Texts between the pages and the records' fixed-size fields stay UTF-8: a cut never splits a
// character, and bytes in a record or in the antenna list that are not UTF-8 reach the page as
// U+FFFD with the characters around them kept.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "endpoints.h"
#include "harness.h"

namespace {

using namespace endpoints;

// A text field as a program sets it: the body that carries the text, and the stored text.
struct TextField {
    const char *name;
    const char *program;
    size_t limit; // bytes of text the field keeps
    std::function<std::string(const std::string &text)> body;
    std::function<std::string(ReceiverConfig &)> stored;
};

template <size_t size> std::string text_of(const uint8_t (&field)[size])
{
    const char *text = reinterpret_cast<const char *>(field);
    return std::string(text, strnlen(text, size));
}

std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

class Cut : public testing::TestWithParam<TextField> {};

// Each character of 2, 3 and 4 bytes, placed to end exactly at the limit or to cross it at
// every one of its inner bytes; and one text that is not UTF-8, which is cut at the byte.
TEST_P(Cut, KeepsWholeCharactersOnly)
{
    const TextField &field = GetParam();
    struct Try {
        std::string text, kept;
    };
    std::vector<Try> tries;
    for (const std::string character : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E"}) {
        const std::string fits(field.limit - character.size(), 'a');
        tries.push_back({fits + character + "z", fits + character});
        for (size_t inside = 1; inside < character.size(); ++inside) {
            const std::string before(field.limit - inside, 'a');
            tries.push_back({before + character + "z", before});
        }
    }
    const std::string bad(field.limit - 1, 'a');
    tries.push_back({bad + "\xC3(z", bad + "\xC3"});

    for (const Try &t : tries) {
        SCOPED_TRACE(harness::hex(t.text.data(), t.text.size()));
        seed_mailbox(ENTRY_NULL_OP, OP_COMPLETE);
        put(harness::config().pawd, "pw");
        harness::Result result = harness::post(field.program, field.body(t.text));
        EXPECT_EQ(result.status, 0);
        const std::string kept = field.stored(harness::config());
        EXPECT_EQ(harness::hex(kept.data(), kept.size()),
                  harness::hex(t.kept.data(), t.kept.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Cut,
    testing::Values(
        TextField{"TunnexDomain", "tunnex", 32,
                  [](const std::string &text) { return R"({"RN": )" + quoted(text) + "}"; },
                  [](ReceiverConfig &c) { return text_of(c.TUNNEX.domain); }},
        TextField{"TunnexToken", "tunnex", 100,
                  [](const std::string &text) {
                      return R"({"RN": "d", "authtoken": )" + quoted(text) + "}";
                  },
                  [](ReceiverConfig &c) { return text_of(c.TUNNEX.authtoken); }},
        TextField{"DdnsPassword", "ddns", 16,
                  [](const std::string &text) {
                      return R"({"RN": "d", "password": )" + quoted(text) + "}";
                  },
                  [](ReceiverConfig &c) { return text_of(c.DDNS.password); }},
        TextField{"StationId", "stationmark", 16,
                  [](const std::string &text) { return R"({"id": )" + quoted(text) + "}"; },
                  [](ReceiverConfig &c) { return text_of(c.StationID); }},
        TextField{"LoginName", "credset", 16,
                  [](const std::string &text) {
                      return R"({"name": )" + quoted(text) +
                             R"(, "newPass": "pw", "oldPass": "pw"})";
                  },
                  [](ReceiverConfig &c) { return text_of(c.user); }},
        TextField{"LoginPassword", "credset", 16,
                  [](const std::string &text) {
                      return R"({"name": "u", "newPass": )" + quoted(text) +
                             R"(, "oldPass": "pw"})";
                  },
                  [](ReceiverConfig &c) { return text_of(c.pawd); }}),
    [](const testing::TestParamInfo<TextField> &info) { return info.param.name; });

struct Repair {
    const char *name;
    const char *program;
    std::function<void()> seed;
    std::string answer;
};

class BadBytes : public testing::TestWithParam<Repair> {};

TEST_P(BadBytes, AnsweredAsReplacementCharacters)
{
    const Repair &c = GetParam();
    harness::attach();
    c.seed();

    harness::Result result = harness::post(c.program, "{}");

    EXPECT_EQ(
        harness::hex(result.out.data(), result.out.size()),
        harness::hex((harness::header + c.answer).data(), harness::header.size() + c.answer.size()))
        << result.out;
}

const std::string replacement = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Records, BadBytes,
    testing::Values(
        Repair{"TunnexDomainLoneByte", "tunnex",
               [] {
                   put(harness::config().TUNNEX.domain, "a\xFF"
                                                        "b");
               },
               R"({ "RN": "a)" + replacement +
                   R"(b", "authtoken": "", "region": 0, "State": 0, "Res": "success" })"},
        Repair{"DdnsPasswordCutSequence", "ddns",
               [] { put(harness::config().DDNS.password, "pass\xC3"); },
               R"({ "RN": "", "SP": "", "username": "", "password": "pass)" + replacement +
                   R"(", "State": 0, "Res": "success" })"},
        Repair{"StationIdBrokenFourBytes", "stationmark",
               [] { put(harness::config().StationID, "\xF0\x9F\x98x\xC3\xA9"); },
               R"({ "id": ")" + replacement + replacement + replacement + "x\xC3\xA9\" }"},
        Repair{"LoginNameStrayContinuation", "credset",
               [] {
                   put(harness::config().user, "\x80"
                                               "abc");
               },
               R"({ "name": ")" + replacement + R"(abc", "Res": 0 })"},
        Repair{"AntennaList", "aerlist",
               [] {
                   harness::write_file(AERKIND_LIST_PATH,
                                       "ok\n\xFF\xFE\nANT\xC3\xA9\nABCDEFGHIJKLMNOPQRS\xE2\x82\n");
               },
               R"({ "data": [ "ok", ")" + replacement + replacement +
                   R"(", "ANT)"
                   "\xC3\xA9" +
                   R"(", "ABCDEFGHIJKLMNOPQRS" ], "Res": "Success" })"}),
    [](const testing::TestParamInfo<Repair> &info) { return info.param.name; });

} // namespace
