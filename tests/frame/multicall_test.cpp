// The static build's one executable: it runs the program named by the last part of the name it
// was started under, and nothing at all under any other name.
#include <cctype>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

namespace fs = std::filesystem;
using harness::header;

const fs::path executable = harness::program("receiver-cgi");

// A link called name to the executable, in the test's own tmpfs, as a name harness::run takes.
std::string started_as(const std::string &name)
{
    std::string list_dir = AERKIND_LIST_PATH;
    list_dir.erase(list_dir.rfind('/'));
    const fs::path directory = fs::path(list_dir) / "names";
    fs::create_directories(directory);
    fs::create_symlink(executable, directory / name);
    /* relative() resolves links, so only the directory goes through it. */
    return (fs::relative(directory, CGI_BIN_DIR) / name).string();
}

struct NameCase {
    const char *name;
    bool runs_fillmeter;
};

class StartedAs : public testing::TestWithParam<NameCase> {};

TEST_P(StartedAs, RunsTheProgramOfThatNameOrAnswersNothing)
{
    if (!fs::exists(executable))
        GTEST_SKIP() << "not a static build";
    const NameCase &c = GetParam();

    harness::Result result = harness::get(started_as(c.name), "{}");

    if (c.runs_fillmeter) {
        EXPECT_EQ(result.out, header + "{ \"res\": \"0.00\" }");
        EXPECT_EQ(result.status, 0);
        return;
    }
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(std::string("\"") + c.name + "\""), std::string::npos) << result.err;
}

const NameCase names[] = {
    {"fillmeter", true},  {"receiver-cgi", false},  {"nonesuch", false},
    {"Fillmeter", false}, {"fillmeter.cgi", false}, {"fillmeter-shortwait", false},
};

INSTANTIATE_TEST_SUITE_P(Names, StartedAs, testing::ValuesIn(names),
                         [](const testing::TestParamInfo<NameCase> &info) {
                             std::string name = info.param.name;
                             for (char &c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
