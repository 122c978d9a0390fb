// aerlist through the CGI host: a list file in, the exact answer out.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

using harness::header;

const std::string list_path = AERKIND_LIST_PATH;

std::string answer(const std::string &names)
{
    return header + "{ \"data\": [ " + names + (names.empty() ? "" : " ") +
           "], \"Res\": \"Success\" }";
}

std::string numbered_lines(int count)
{
    std::string lines;
    for (int i = 1; i <= count; ++i)
        lines += "ANT-" + std::to_string(i) + "\n";
    return lines;
}

std::string numbered_names(int count)
{
    std::string names;
    for (int i = 1; i <= count; ++i)
        names += (i > 1 ? ", \"ANT-" : "\"ANT-") + std::to_string(i) + "\"";
    return names;
}

struct ListCase {
    const char *name;
    std::optional<std::string> file; // none: no list file at all
    std::string answer;
};

class Lists : public testing::TestWithParam<ListCase> {};

TEST_P(Lists, AnswerTheNames)
{
    const ListCase &c = GetParam();
    if (c.file)
        harness::write_file(list_path, *c.file);
    harness::Result result = harness::get("aerlist", "");
    EXPECT_EQ(result.out, c.answer);
    EXPECT_EQ(result.status, 0);
}

const std::string line_2000 = std::string(1000, 'a') + std::string(1000, 'b');

INSTANTIATE_TEST_SUITE_P(
    Cases, Lists,
    testing::Values(
        ListCase{"MissingFile", std::nullopt, header + "{ \"Res\": \"failed\" }"},
        ListCase{"EmptyFile", "", answer("")},
        ListCase{"LineFeeds", "TRM59800.00     NONE\nLEIAR25\n",
                 answer("\"TRM59800.00     NONE\", \"LEIAR25\"")},
        ListCase{"CrLf", "ANT-19-characters-x\r\nB\r\n\r\n",
                 answer("\"ANT-19-characters-x\", \"B\", \"\"")},
        ListCase{"CrNotBeforeLineFeedStays", "A\rB\nC\r", answer("\"A\\rB\", \"C\\r\"")},
        ListCase{"CutAtTwentyBytes", "123456789012345678901234\n12345678901234567890\r\n",
                 answer("\"12345678901234567890\", \"12345678901234567890\"")},
        ListCase{"LastLineWithoutLineFeed", "A\nLAST-LINE-WITHOUT-ITS-LINE-FEED",
                 answer("\"A\", \"LAST-LINE-WITHOUT-IT\"")},
        ListCase{"LongLineIsOneEntry", line_2000 + "\nNEXT\n",
                 answer("\"" + std::string(20, 'a') + "\", \"NEXT\"")},
        ListCase{"LinesAroundTheLineBuffer",
                 std::string(1022, 'a') + "\r\n" + std::string(1023, 'b') + "\n" +
                     std::string(1024, 'c') + "\r\nX\n",
                 answer("\"" + std::string(20, 'a') + "\", \"" + std::string(20, 'b') + "\", \"" +
                        std::string(20, 'c') + "\", \"X\"")},
        // U+00C4 (2 bytes), U+20AC (3 bytes) and U+1F4E1 (4 bytes) across byte 20.
        ListCase{"MultiByteCharacterAcrossByte20",
                 std::string(19, 'x') + "\xc3\x84Z\n" + std::string(18, 'x') + "\xc3\x84Z\n" +
                     std::string(18, 'x') + "\xe2\x82\xac\n" + std::string(17, 'x') +
                     "\xe2\x82\xac\n" + std::string(17, 'x') + "\xf0\x9f\x93\xa1\n",
                 answer("\"" + std::string(19, 'x') + "\", \"" + std::string(18, 'x') +
                        "\xc3\x84\", \"" + std::string(18, 'x') + "\", \"" + std::string(17, 'x') +
                        "\xe2\x82\xac\", \"" + std::string(17, 'x') + "\"")},
        ListCase{"ZeroByteEndsTheName", std::string("AB\0CD\nE\n", 8), answer("\"AB\", \"E\"")},
        ListCase{"At800Lines", numbered_lines(800), answer(numbered_names(800))},
        ListCase{"801LinesGive800", numbered_lines(801), answer(numbered_names(800))}),
    [](const testing::TestParamInfo<ListCase> &info) { return info.param.name; });

TEST(Aerlist, AnyRequestGetsTheSameAnswer)
{
    harness::write_file(list_path, "ANT1\n");
    const std::string expected = answer("\"ANT1\"");
    EXPECT_EQ(harness::post("aerlist", "{\"data\": 1}").out, expected);
    EXPECT_EQ(harness::get("aerlist", "x=1").out, expected);
    EXPECT_EQ(harness::run("aerlist", {}).out, expected);
}

} // namespace
