// A request that carries no usable object gets the query answer of every settings program,
// however the keys hide in it, and changes nothing.
#include <string>
#include <tuple>

#include <sys/shm.h>

#include <gtest/gtest.h>

#include "endpoints.h"
#include "harness.h"

namespace {

using namespace endpoints;

struct Program {
    const char *name;
    std::string query_answer; // of all-zero records
};

struct Request {
    const char *name;
    harness::Env env;
    std::string body;
};

const std::string every_key =
    R"({"key": 1, "RN": "x", "enable": 1, "name": "n", "oldPass": "", "newPass": "p", "id": "i"})";

std::string length(const std::string &body)
{
    return std::to_string(body.size());
}

const Program programs[] = {
    {"tunnex", R"({ "RN": "", "authtoken": "", "region": 0, "State": 0, "Res": "success" })"},
    {"ddns",
     R"({ "RN": "", "SP": "", "username": "", "password": "", "State": 0, "Res": "success" })"},
    {"portvia", R"({ "RN": "", "authtoken": "", "State": 0, "Res": "success" })"},
    {"ins", R"({ "enable": 0, "mode": 0, "initSV": 0, "imuState": 0, "Res": "Success" })"},
    {"credset", R"({ "name": "", "Res": 0 })"},
    {"stationmark", R"({ "id": "" })"},
};

const std::string cut = every_key.substr(0, every_key.size() - 1);
const std::string array = "[" + every_key + "]";

const Request requests[] = {
    {"Absent", {}, every_key},
    {"Empty", {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "0"}}, every_key},
    {"NotJson", {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", length(cut)}}, cut},
    {"Array", {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", length(array)}}, array},
    {"PercentEncodedQuery",
     {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "%7B%22RN%22%3A%22x%22%7D"}},
     ""},
};

class Keyless : public testing::TestWithParam<std::tuple<Program, Request>> {};

TEST_P(Keyless, GetsTheQueryAnswer)
{
    const auto &[program, request] = GetParam();
    harness::attach();

    harness::Result result = harness::run(program.name, request.env, request.body);

    EXPECT_EQ(result.out, harness::header + program.query_answer);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(harness::hex(harness::config()), std::string(2 * sizeof(ReceiverConfig), '0'));
    EXPECT_EQ(mailbox(), std::make_pair(0, 0));
}

INSTANTIATE_TEST_SUITE_P(Cases, Keyless,
                         testing::Combine(testing::ValuesIn(programs), testing::ValuesIn(requests)),
                         [](const testing::TestParamInfo<std::tuple<Program, Request>> &info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

// What a client sees when the records cannot be attached: credset attaches before its header
// line and leaves no output at all; the others leave the header block.
TEST(AttachOrder, DecidesWhatAFailedAttachLeaves)
{
    // A configuration segment too small for the record cannot be attached.
    ASSERT_GE(shmget(CONFIG_SHM_KEY, 16, SHARE_IPC_FLAGS), 0);
    const std::pair<const char *, std::string> programs[] = {
        {"tunnex", harness::header}, {"ddns", harness::header}, {"portvia", harness::header},
        {"ins", harness::header},    {"credset", ""},           {"stationmark", harness::header},
    };
    for (const auto &[name, out] : programs) {
        harness::Result result =
            harness::post(name, R"({"key": 1, "enable": 1, "name": "n", "id": "i"})");
        EXPECT_EQ(result.out, out) << name;
        EXPECT_EQ(result.err, "shmget failed\n") << name;
        EXPECT_EQ(result.status, 1) << name;
    }
}

} // namespace
