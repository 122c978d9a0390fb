#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "harness.h"
#include "request.h"

namespace {

using harness::header;

struct ReaderCase {
    const char *name;
    std::optional<std::string> method;
    std::optional<std::string> length;
    std::string body;
    std::optional<std::string> expected; // the request text, or none
    size_t left_unread;
};

std::string bytes(size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += static_cast<char>('a' + i % 26);
    return text;
}

class Reader : public testing::TestWithParam<ReaderCase> {};

TEST_P(Reader, ReadsTheBodyWithinItsBounds)
{
    const ReaderCase &c = GetParam();
    unsetenv("QUERY_STRING");
    if (c.length)
        setenv("CONTENT_LENGTH", c.length->c_str(), 1);
    else
        unsetenv("CONTENT_LENGTH");
    std::string body = c.body;
    FILE *input = tmpfile();
    ASSERT_NE(input, nullptr);
    fwrite(body.data(), 1, body.size(), input);
    rewind(input);
    std::string method = c.method.value_or("");

    char *text = getcgidata(input, c.method ? method.data() : nullptr);

    if (c.expected) {
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text), *c.expected);
        EXPECT_EQ(body.size() - static_cast<size_t>(ftell(input)), c.left_unread);
    } else {
        EXPECT_EQ(text, nullptr);
    }
    if (text != nullptr && method == "POST")
        free(text);
    fclose(input);
}

const std::string b1024 = bytes(1024), b1025 = bytes(1025), b1026 = bytes(1026);

INSTANTIATE_TEST_SUITE_P(
    Cases, Reader,
    testing::Values(
        ReaderCase{"Body1024", "POST", "1024", b1024, b1024, 0},
        ReaderCase{"Body1025", "POST", "1025", b1025, b1025, 0},
        ReaderCase{"Body1026CutAt1025", "POST", "1026", b1026, b1025, 1},
        ReaderCase{"LengthZeroReadsNothing", "POST", "0", "{\"a\":1}", "", 7},
        ReaderCase{"LengthBeyondBody", "POST", "100", "{\"a\":1}", "{\"a\":1}", 0},
        ReaderCase{"LengthShortOfBody", "POST", "3", "{\"a\":1}", "{\"a", 4},
        ReaderCase{"LengthWithTrailingLetters", "POST", "12abc", bytes(20), bytes(12), 8},
        ReaderCase{"LengthWithSpaceAndSign", "POST", " +4", bytes(6), bytes(4), 2},
        ReaderCase{"LengthWithoutDigits", "POST", "abc", bytes(6), "", 6},
        ReaderCase{"NegativeLengthReadsToEnd", "POST", "-1", bytes(30), bytes(30), 0},
        ReaderCase{"NegativeLengthStillCapped", "POST", "-5", bytes(2000), b1025, 975},
        ReaderCase{"PostWithoutLength", "POST", std::nullopt, bytes(6), std::nullopt, 0},
        ReaderCase{"Head", "HEAD", "6", bytes(6), std::nullopt, 0},
        ReaderCase{"Put", "PUT", "6", bytes(6), std::nullopt, 0},
        ReaderCase{"LowerCaseGet", "get", "6", bytes(6), std::nullopt, 0},
        ReaderCase{"LowerCasePost", "post", "6", bytes(6), std::nullopt, 0},
        ReaderCase{"NoMethod", std::nullopt, "6", bytes(6), std::nullopt, 0},
        ReaderCase{"GetWithoutQuery", "GET", "6", bytes(6), std::nullopt, 0}),
    [](const testing::TestParamInfo<ReaderCase> &info) { return info.param.name; });

TEST(Reader, GetTakesTheQueryStringWholeAndUndecoded)
{
    setenv("QUERY_STRING", "%7B%22a%22%3A1%7D&x=y", 1);
    char get[] = "GET";
    char *text = getcgidata(stdin, get);
    EXPECT_EQ(text, getenv("QUERY_STRING")); // the environment's own text, never released
}

struct FrameCase {
    const char *name;
    harness::Env env;
    std::string body;
    std::string answer;
};

class Frame : public testing::TestWithParam<FrameCase> {};

TEST_P(Frame, AnswersWithTheParsedRequest)
{
    const FrameCase &c = GetParam();
    harness::Result result = harness::run("frame-probe", c.env, c.body);
    EXPECT_EQ(result.out, header + c.answer);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Frame,
    testing::Values(FrameCase{"PostObject",
                              {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "8"}},
                              "{\"a\": 1}",
                              "{ \"request\": { \"a\": 1 } }"},
                    FrameCase{"GetPlainJson",
                              {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "{\"a\":[1]}"}},
                              "",
                              "{ \"request\": { \"a\": [ 1 ] } }"},
                    FrameCase{"GetPercentEncoded",
                              {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "%7B%22a%22%3A1%7D"}},
                              "",
                              "{ \"request\": null }"},
                    FrameCase{"EmptyBody",
                              {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "0"}},
                              "{}",
                              "{ \"request\": null }"},
                    FrameCase{"NotJson",
                              {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "5"}},
                              "hello",
                              "{ \"request\": null }"},
                    FrameCase{"NoEnvironment", {}, "{\"a\":1}", "{ \"request\": null }"}),
    [](const testing::TestParamInfo<FrameCase> &info) { return info.param.name; });

} // namespace
