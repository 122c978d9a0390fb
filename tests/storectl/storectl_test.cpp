// storectl against the programs and the daemon stand-in: what it sets the programs answer, what
// they store it shows, its layout is the compiler's, posts complete or give up within the
// bound, watch sees the programs' changes, and whatever it refuses leaves every byte alone.
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <json-c/json.h>
#include <sys/sem.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "harness.h"
#include "semaphore.h"

namespace {

using namespace std::string_literals;
using Args = std::vector<std::string>;

harness::Result storectl(const Args &args, const char *program = "storectl")
{
    return harness::run(program, {}, {}, harness::default_limit, args);
}

template <size_t size> void put(uint8_t (&field)[size], const std::string &bytes)
{
    memset(field, 0, size);
    memcpy(field, bytes.data(), bytes.size() < size ? bytes.size() : size);
}

template <size_t size> void put(char (&field)[size], const std::string &bytes)
{
    put(reinterpret_cast<uint8_t(&)[size]>(field), bytes);
}

template <typename Record> void fill(Record &record)
{
    auto *bytes = reinterpret_cast<uint8_t *>(&record);
    for (size_t i = 0; i < sizeof record; ++i)
        bytes[i] = static_cast<uint8_t>(i * 31 + 7);
}

// All three records' bytes, for before-and-after comparisons.
std::string all_records()
{
    return harness::hex(harness::config()) + harness::hex(harness::monitor()) +
           harness::hex(harness::gnss());
}

// Waits until a process has operated the lock of a set: its first read of the record is taken.
bool wait_until_locked_by(int sem, pid_t pid)
{
    for (int waited = 0; waited < 20000; waited += 2) {
        if (semctl(sem, 0, GETPID) == pid)
            return true;
        usleep(2000);
    }
    return false;
}

// Processor time a process has used so far.
long long processor_ns(pid_t pid)
{
    long long used = -1;
    std::istringstream(harness::read_file("/proc/" + std::to_string(pid) + "/schedstat")) >> used;
    return used;
}

struct ProgramCase {
    const char *name;
    Args assignments;
    const char *program;
    std::string query;
    std::string answer;
};

class StorectlToPrograms : public testing::TestWithParam<ProgramCase> {};

TEST_P(StorectlToPrograms, ProgramsAnswerWhatItSet)
{
    const ProgramCase &c = GetParam();
    put(harness::config().TUNNEX.domain, "old.example.net");

    harness::Result set = storectl(c.assignments);
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "");
    harness::Result answer = harness::get(c.program, c.query);

    EXPECT_EQ(answer.out, harness::header + c.answer);
    EXPECT_EQ(answer.status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StorectlToPrograms,
    testing::Values(
        ProgramCase{
            "Tunnex",
            {"set", "config", "TUNNEX.enable=1", "TUNNEX.domain=base.example",
             "TUNNEX.authtoken=tok-7", "TUNNEX.region=jp"},
            "tunnex",
            "{}",
            R"({ "RN": "base.example", "authtoken": "tok-7", "region": 5, "State": 1, "Res": "success" })"},
        ProgramCase{"Stationmark",
                    {"set", "config", "StationID=BASE-0815"},
                    "stationmark",
                    "{}",
                    R"({ "id": "BASE-0815" })"},
        ProgramCase{"Fillmeter",
                    {"set", "monitor", "UpgradeProgress=42.5"},
                    "fillmeter",
                    "",
                    R"({ "res": "42.50" })"}),
    [](const testing::TestParamInfo<ProgramCase> &info) { return info.param.name; });

const std::string tunnex_request = R"({"RN": "new.io", "authtoken": "t2", "region": 7})";

struct StoredCase {
    const char *name;
    const char *program;
    std::string body;
    Args show;
    std::string shown;
};

class StorectlFromPrograms : public testing::TestWithParam<StoredCase> {};

TEST_P(StorectlFromPrograms, ShowGivesBackWhatAProgramStored)
{
    const StoredCase &c = GetParam();
    put(harness::config().TUNNEX.domain, "old.example.net");
    harness::Result program = harness::post(c.program, c.body);
    ASSERT_EQ(program.status, 0);

    harness::Result shown = storectl(c.show);

    EXPECT_EQ(shown.out, c.shown);
    EXPECT_EQ(shown.err, "");
    EXPECT_EQ(shown.status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StorectlFromPrograms,
    testing::Values(
        StoredCase{"TunnexSettings",
                   "tunnex",
                   tunnex_request,
                   {"show", "config", "TUNNEX"},
                   "{\n  \"enable\": 1,\n  \"authtoken\": \"t2\",\n  \"domain\": \"new.io\",\n"
                   "  \"region\": \"in\"\n}\n"},
        StoredCase{"TunnexPost",
                   "tunnex",
                   R"({"RN": "new.io"})",
                   {"show", "monitor", "OperateEntry"},
                   "64\n"},
        StoredCase{"StationID",
                   "stationmark",
                   R"({"id": "BASE-0815"})",
                   {"show", "config", "StationID"},
                   "\"BASE-0815\"\n"},
        StoredCase{
            "ProgressRead", "fillmeter", "{}", {"show", "monitor", "HasReadenProgress"}, "1\n"}),
    [](const testing::TestParamInfo<StoredCase> &info) { return info.param.name; });

// Each kind of field, seeded by the test, as show prints it.
struct KindCase {
    const char *name;
    void (*seed)(ReceiverConfig &, ReceiverMonitor &, GNSSInfo &);
    Args show;
    std::string shown;
};

class StorectlShow : public testing::TestWithParam<KindCase> {};

TEST_P(StorectlShow, PrintsEachKindOfField)
{
    const KindCase &c = GetParam();
    c.seed(harness::config(), harness::monitor(), harness::gnss());

    harness::Result shown = storectl(c.show);

    EXPECT_EQ(shown.out, c.shown);
    EXPECT_EQ(shown.status, 0) << shown.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StorectlShow,
    testing::Values(
        KindCase{"TextCutAtItsNul",
                 [](ReceiverConfig &config, ReceiverMonitor &, GNSSInfo &) {
                     put(config.user, "adm\0in"s);
                 },
                 {"show", "config", "user"},
                 "\"adm\"\n"},
        KindCase{"TextFillingItsField",
                 [](ReceiverConfig &config, ReceiverMonitor &, GNSSInfo &) {
                     put(config.StationID, "0123456789abcdef");
                     config.WorkMode = 'X';
                 },
                 {"show", "config", "StationID"},
                 "\"0123456789abcdef\"\n"},
        // Overlong, surrogate, stray continuation, bad lead and cut-off sequences, each part
        // replaced; well-formed two- and four-byte characters kept.
        KindCase{"TextNotUtf8",
                 [](ReceiverConfig &config, ReceiverMonitor &, GNSSInfo &) {
                     put(config.DataCall_C.apn,
                         "\xC0\x80|\xED\xA0\x80|\x80|\xFF|\xC3\xA9\xF0\x9F\x98\x80|\xE2\x82");
                 },
                 {"show", "config", "DataCall_C.apn"},
                 "\"\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD|"
                 "\xEF\xBF\xBD|\xC3\xA9\xF0\x9F\x98\x80|\xEF\xBF\xBD\"\n"},
        KindCase{"TextRowOfATable",
                 [](ReceiverConfig &, ReceiverMonitor &monitor, GNSSInfo &) {
                     put(monitor.SourceTable[1], "STR;MOUNT1;/x");
                 },
                 {"show", "monitor", "SourceTable[1]"},
                 "\"STR;MOUNT1;/x\"\n"},
        KindCase{
            "FloatShortest",
            [](ReceiverConfig &config, ReceiverMonitor &, GNSSInfo &) { config.PDOPLimit = 0.1f; },
            {"show", "config", "PDOPLimit"},
            "0.1\n"},
        KindCase{
            "FloatNotANumber",
            [](ReceiverConfig &, ReceiverMonitor &monitor, GNSSInfo &) { monitor.Voltage = NAN; },
            {"show", "monitor", "Voltage"},
            "\"NaN\"\n"},
        KindCase{"DoubleFull",
                 [](ReceiverConfig &config, ReceiverMonitor &, GNSSInfo &) {
                     config.StationPos.Latitude = 47.123456789012;
                 },
                 {"show", "config", "StationPos.Latitude"},
                 "47.123456789012\n"},
        KindCase{"DoubleOffItsAlignmentInThePackedHeader",
                 [](ReceiverConfig &, ReceiverMonitor &, GNSSInfo &gnss) {
                     gnss.K418.msg_header.lat = -31.25;
                 },
                 {"show", "gnss", "msg_header.lat"},
                 "-31.25\n"},
        KindCase{"SignedByte",
                 [](ReceiverConfig &, ReceiverMonitor &monitor, GNSSInfo &) {
                     monitor.op.OperateState = OP_FAILED;
                 },
                 {"show", "monitor", "OperateState"},
                 "-1\n"},
        KindCase{"SignedShortInAnArrayOfRecords",
                 [](ReceiverConfig &, ReceiverMonitor &, GNSSInfo &gnss) {
                     gnss.K418.sat_para[5].azi = -120;
                 },
                 {"show", "gnss", "K418.sat_para[5].azi"},
                 "-120\n"},
        KindCase{"UnsignedWord",
                 [](ReceiverConfig &config, ReceiverMonitor &, GNSSInfo &) {
                     config.HttpPort = 4294967295u;
                 },
                 {"show", "config", "HttpPort"},
                 "4294967295\n"},
        KindCase{"BytesAsHex",
                 [](ReceiverConfig &config, ReceiverMonitor &, GNSSInfo &) {
                     const uint8_t addr[] = {0x00, 0x1a, 0x7d, 0xda, 0x71, 0x13};
                     memcpy(config.BT.addr, addr, sizeof addr);
                 },
                 {"show", "config", "BT.addr"},
                 "\"001a7dda7113\"\n"},
        KindCase{"ArrayOfNumbers",
                 [](ReceiverConfig &config, ReceiverMonitor &, GNSSInfo &) {
                     const uint32_t ip[] = {192, 168, 1, 20};
                     memcpy(config.IP, ip, sizeof ip);
                 },
                 {"show", "config", "IP"},
                 "[\n  192,\n  168,\n  1,\n  20\n]\n"},
        KindCase{"Record",
                 [](ReceiverConfig &config, ReceiverMonitor &, GNSSInfo &) {
                     config.INS = INSConfig{1, 6, 0, 2.5f};
                 },
                 {"show", "config", "INS"},
                 "{\n  \"enable\": 1,\n  \"mode\": 6,\n  \"axial\": 0,\n  \"initSV\": 2.5\n}\n"}),
    [](const testing::TestParamInfo<KindCase> &info) { return info.param.name; });

// The layout of every record, by path.
std::map<std::string, std::tuple<long, long, std::string>> layout_of(const char *record)
{
    harness::Result listed = storectl({"layout", record});
    EXPECT_EQ(listed.status, 0) << listed.err;
    std::map<std::string, std::tuple<long, long, std::string>> rows;
    json_object *table = json_tokener_parse(listed.out.c_str());
    EXPECT_TRUE(json_object_is_type(table, json_type_array)) << "not a JSON array";
    for (size_t i = 0; table != nullptr && i < json_object_array_length(table); ++i) {
        json_object *row = json_object_array_get_idx(table, i), *item;
        auto get = [&](const char *key) {
            json_object_object_get_ex(row, key, &item);
            return item;
        };
        rows[json_object_get_string(get("path"))] = {json_object_get_int64(get("offset")),
                                                     json_object_get_int64(get("size")),
                                                     json_object_get_string(get("type"))};
    }
    json_object_put(table);
    return rows;
}

struct LayoutRow {
    const char *record;
    const char *path;
    long offset;
    long size;
    const char *type;
};

#define ROW(Record, record, path, type) \
    LayoutRow \
    { \
        record, #path, offsetof(Record, path), sizeof(std::declval<Record &>().path), type \
    }

TEST(StorectlLayout, AgreesWithTheCompiledRecords)
{
    const LayoutRow rows[] = {
        ROW(ReceiverConfig, "config", SerialNum, "char[15]"),
        ROW(ReceiverConfig, "config", TUNNEX.domain, "char[33]"),
        ROW(ReceiverConfig, "config", DataCall_C.apn, "char[33]"),
        ROW(ReceiverConfig, "config", reserved, "uint8_t[56]"),
        ROW(ReceiverConfig, "config", PDOPLimit, "float"),
        ROW(ReceiverConfig, "config", StationPos.Latitude, "double"),
        ROW(ReceiverConfig, "config", RecConf, "RecFileConfig[2]"),
        ROW(ReceiverConfig, "config", RecConf[1].RecFolderName, "char[17]"),
        ROW(ReceiverConfig, "config", TCP[1].TCPDSPara.NMEA[3].time, "uint32_t"),
        ROW(ReceiverConfig, "config", TCP[0].MaxConNum, "uint16_t"),
        ROW(ReceiverConfig, "config", NtripServerUsr[1].ServerDSPara.Custom, "MsgCfgPara[12]"),
        ROW(ReceiverConfig, "config", BT.addr, "uint8_t[6]"),
        ROW(ReceiverConfig, "config", BT.DSPara.Switch.Enable, "uint8_t"),
        ROW(ReceiverConfig, "config", MAC, "uint32_t[6]"),
        ROW(ReceiverConfig, "config", COM[1].COMDSPara.RTCM2V518[19].Available, "uint8_t"),
        ROW(ReceiverConfig, "config", pppConfig.mode, "uint8_t"),
        ROW(ReceiverMonitor, "monitor", op.OperateEntry, "uint8_t"),
        ROW(ReceiverMonitor, "monitor", op.OperateState, "int8_t"),
        ROW(ReceiverMonitor, "monitor", SourceTable, "char[200][64]"),
        ROW(ReceiverMonitor, "monitor", DataCall_I.connect_state, "uint8_t"),
        ROW(ReceiverMonitor, "monitor", HasReadenProgress, "int32_t"),
        ROW(ReceiverMonitor, "monitor", CurPosition.Elevation, "double"),
        ROW(GNSSInfo, "gnss", K418.msg_header.lat, "double"),
        ROW(GNSSInfo, "gnss", K418.sat_para[63].code_type, "uint32_t"),
        ROW(GNSSInfo, "gnss", K418B, "uint8_t[6145]"),
        ROW(GNSSInfo, "gnss", YBM.available, "uint8_t"),
    };
    std::map<std::string, std::map<std::string, std::tuple<long, long, std::string>>> layouts;
    for (const char *record : {"config", "monitor", "gnss"})
        layouts[record] = layout_of(record);
    for (const LayoutRow &row : rows) {
        SCOPED_TRACE(row.path);
        const auto &layout = layouts[row.record];
        ASSERT_EQ(layout.count(row.path), 1u);
        EXPECT_EQ(layout.at(row.path),
                  std::make_tuple(row.offset, row.size, std::string(row.type)));
    }
}

struct PostCase {
    const char *name;
    Args daemon;
    Args post;
    int status;
    std::string mailbox;
    int taken;
};

class StorectlPost : public testing::TestWithParam<PostCase> {};

TEST_P(StorectlPost, CompletesWithTheDaemon)
{
    const PostCase &c = GetParam();
    harness::Daemon daemon(c.daemon);

    harness::Result posted = storectl(c.post);

    EXPECT_EQ(posted.out, c.mailbox);
    EXPECT_EQ(posted.status, c.status) << posted.err;
    ASSERT_TRUE(daemon.wait_for_operations(1));
    EXPECT_EQ(daemon.operations().size(), 1u);
    EXPECT_EQ(daemon.operations()[0].first, c.taken);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StorectlPost,
    testing::Values(
        PostCase{
            "ByName",
            {},
            {"post", "ENTRY_TUNNEX_OP", "--wait"},
            0,
            R"({ "OperateEntry": 64, "OperateState": 3, "operation": "ENTRY_TUNNEX_OP", "state": "OP_SUCCESS" })"
            "\n",
            64},
        PostCase{
            "ByNumberWaitFirst",
            {},
            {"post", "--wait", "11"},
            0,
            R"({ "OperateEntry": 11, "OperateState": 3, "operation": "ENTRY_SID_OP", "state": "OP_SUCCESS" })"
            "\n",
            11},
        PostCase{
            "DaemonFails",
            {"--result", "failed"},
            {"post", "entry_ins_op", "--wait"},
            4,
            R"({ "OperateEntry": 65, "OperateState": -1, "operation": "ENTRY_INS_OP", "state": "OP_FAILED" })"
            "\n",
            65}),
    [](const testing::TestParamInfo<PostCase> &info) { return info.param.name; });

// Built with a 300 ms bound: without a daemon, a post with --wait is left in the mailbox and
// a post into a busy mailbox is not made; both give up soon after the bound.
TEST(StorectlPostAlone, GivesUpWithinTheBound)
{
    struct Case {
        const char *name;
        Operate seeded;
        Args post;
        std::string mailbox;
        std::string message;
    } cases[] = {
        {"NeverFinished",
         {ENTRY_NULL_OP, OP_SUCCESS},
         {"post", "ENTRY_TUNNEX_OP", "--wait"},
         R"({ "OperateEntry": 64, "OperateState": 2, "operation": "ENTRY_TUNNEX_OP", "state": "OP_EXE" })",
         "did not finish"},
        {"MailboxBusy",
         {ENTRY_SID_OP, OP_EXE},
         {"post", "64"},
         R"({ "OperateEntry": 11, "OperateState": 2, "operation": "ENTRY_SID_OP", "state": "OP_EXE" })",
         "nothing was posted"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        harness::monitor().op = c.seeded;
        const auto start = std::chrono::steady_clock::now();

        harness::Result posted = storectl(c.post, "storectl-shortwait");

        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(posted.out, c.mailbox + "\n");
        EXPECT_EQ(posted.status, 3);
        EXPECT_NE(posted.err.find(c.message), std::string::npos) << posted.err;
        EXPECT_GE(took, std::chrono::milliseconds(300));
        EXPECT_LT(took, std::chrono::seconds(5));
    }
}

// A lock another process keeps past the bound is reported, and nothing is shown or written.
TEST(StorectlLostLock, IsReportedNamingTheRecord)
{
    struct Case {
        Args args;
        const char *record;
    } cases[] = {
        {{"show", "config", "TUNNEX"}, "config"}, {{"set", "config", "StationID=B1"}, "config"},
        {{"show", "gnss", "GGA"}, "gnss"},        {{"watch", "monitor", "op"}, "monitor"},
        {{"post", "ENTRY_SID_OP"}, "monitor"},
    };
    harness::attach();
    const std::map<std::string, int> locks = {
        {"config", ZarvelConfig.sem}, {"monitor", ZarvelMonitor.sem}, {"gnss", ZarvelGNSS.sem}};
    for (const Case &c : cases) {
        const int sem = locks.at(c.record);
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const std::string before = all_records();
        ASSERT_EQ(semaphore_p(sem), 0);

        // The product's lock bound: the tests' store waits long for a lock on purpose.
        harness::Result result = storectl(c.args, "storectl");

        semaphore_v(sem);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        const std::string message = "lost the lock of the "s + c.record + " record";
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_EQ(all_records(), before);
    }
}

// One line per changed field, for a watcher of one sub-record and one of a whole record.
TEST(StorectlWatch, SeesTheChangesAProgramMakes)
{
    put(harness::config().TUNNEX.region, "eu");
    harness::Process settings("storectl", {"watch", "config", "TUNNEX"});
    harness::Process monitor("storectl", {"watch", "monitor"});
    ASSERT_TRUE(wait_until_locked_by(ZarvelConfig.sem, settings.pid()));
    ASSERT_TRUE(wait_until_locked_by(ZarvelMonitor.sem, monitor.pid()));

    harness::Result set = harness::post("tunnex", tunnex_request);
    ASSERT_EQ(set.status, 0);
    ASSERT_TRUE(settings.wait_for("TUNNEX.region"));
    ASSERT_TRUE(monitor.wait_for("op.OperateState"));
    // Between changes a watcher sleeps: a spinning one would take the whole second.
    const long long before = processor_ns(monitor.pid());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(processor_ns(monitor.pid()) - before, 250000000LL);

    auto changes = [](const std::string &output) {
        std::vector<std::string> found;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            json_object *change = json_tokener_parse(line.c_str()), *item;
            std::string text;
            for (const char *key : {"path", "old", "new"}) {
                json_object_object_get_ex(change, key, &item);
                text += std::string(text.empty() ? "" : " ") +
                        json_object_to_json_string_ext(item, JSON_C_TO_STRING_PLAIN);
            }
            EXPECT_TRUE(json_object_object_get_ex(change, "t", &item) &&
                        json_object_get_double(item) > 1e9)
                << line;
            json_object_put(change);
            found.push_back(text);
        }
        return found;
    };
    EXPECT_EQ(changes(settings.output()),
              (std::vector<std::string>{R"("TUNNEX.enable" 0 1)", R"("TUNNEX.authtoken" "" "t2")",
                                        R"("TUNNEX.domain" "" "new.io")",
                                        R"("TUNNEX.region" "eu" "in")"}));
    EXPECT_EQ(changes(monitor.output()),
              (std::vector<std::string>{R"("op.OperateEntry" 0 64)", R"("op.OperateState" 0 2)"}));
    EXPECT_EQ(settings.stop(), 0);
    EXPECT_EQ(monitor.stop(), 0);
}

// Every refusal names the path and its limit, changes no byte of any record and prints nothing.
struct RefusedCase {
    const char *name;
    Args args;
    std::string message;
};

class StorectlRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(StorectlRefused, LeavesTheRecordsAlone)
{
    const RefusedCase &c = GetParam();
    fill(harness::config());
    fill(harness::monitor());
    fill(harness::gnss());
    const std::string before = all_records();

    harness::Result result = storectl(c.args);

    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(all_records(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StorectlRefused,
    testing::Values(
        RefusedCase{"ByteTooLarge",
                    {"set", "config", "TUNNEX.enable=256"},
                    "TUNNEX.enable: \"256\" refused: uint8_t takes a decimal number from 0 to 255"},
        RefusedCase{
            "SignedByteTooLarge",
            {"set", "monitor", "OperateState=128"},
            "op.OperateState: \"128\" refused: int8_t takes a decimal number from -128 to 127"},
        RefusedCase{"NegativeUnsigned", {"set", "config", "HttpPort=-1"}, "from 0 to 4294967295"},
        RefusedCase{"NotANumber", {"set", "config", "TUNNEX.enable=1x"}, "TUNNEX.enable: \"1x\""},
        RefusedCase{"FloatTooLarge",
                    {"set", "config", "PDOPLimit=1e39"},
                    "PDOPLimit: \"1e39\" refused: float takes a finite number"},
        RefusedCase{"FloatNotFinite", {"set", "monitor", "Voltage=nan"}, "Voltage: \"nan\""},
        RefusedCase{"TextTooLong",
                    {"set", "config", "TUNNEX.domain=" + std::string(33, 'd')},
                    "a text of 33 bytes; char[33] holds at most 32 and its NUL"},
        RefusedCase{"HexOfTheWrongLength",
                    {"set", "config", "BT.addr=0a0b"},
                    "BT.addr: \"0a0b\" refused: uint8_t[6] takes exactly 12 hex digits"},
        RefusedCase{"UnknownMember",
                    {"set", "config", "StationID=B1", "TUNNEX.nope=1"},
                    "unknown path \"TUNNEX.nope\": TUNNEX has no member \"nope\""},
        RefusedCase{"UnknownAnywhere", {"set", "gnss", "nope=1"}, "\"nope\""},
        RefusedCase{"IndexOutOfRange",
                    {"set", "config", "RecConf[2].FileType=1"},
                    "the index of RecConf runs from 0 to 1"},
        RefusedCase{"AmbiguousName",
                    {"set", "config", "RecFolderName=x"},
                    "RecConf[0].RecFolderName, RecConf[1].RecFolderName"},
        RefusedCase{"WholeRecord", {"set", "config", "TUNNEX=1"}, "set its fields one by one"},
        RefusedCase{"NoValue", {"set", "config", "TUNNEX.enable"}, "PATH=VALUE"},
        RefusedCase{"ShowUnknownPath", {"show", "monitor", "op.Entry"}, "op has no member"},
        RefusedCase{"WatchUnknownPath", {"watch", "config", "TUNNEX[0]"}, "not an array"},
        RefusedCase{"UnknownRecord", {"show", "configuration"}, "no record named"},
        RefusedCase{"UnknownOperation", {"post", "ENTRY_TUNNEL_OP"}, "no operation"},
        RefusedCase{"OperationTooLarge", {"post", "256"}, "0 to 255"},
        RefusedCase{"NoCommand", {}, "usage"}),
    [](const testing::TestParamInfo<RefusedCase> &info) { return info.param.name; });

// A text goes in as the programs store one; numbers land little-endian on their own bytes.
TEST(StorectlSet, WritesOnlyTheNamedBytes)
{
    struct Case {
        const char *name;
        Args args;
        void (*expect)(ReceiverConfig &, ReceiverMonitor &);
    } cases[] = {
        {"TextKeepsTheRestOfItsField",
         {"set", "config", "TUNNEX.domain=new.io"},
         [](ReceiverConfig &config, ReceiverMonitor &) {
             memcpy(config.TUNNEX.domain, "new.io", 7);
         }},
        {"EmptyText",
         {"set", "config", "user="},
         [](ReceiverConfig &config, ReceiverMonitor &) { config.user[0] = 0; }},
        {"SeveralInOneCall",
         {"set", "config", "TCP[1].TCPDSPara.NMEA[3].time=4000000000", "StationPos.Latitude=-33.5",
          "PDOPLimit=2.25", "BT.addr=A1b2c3d4e5f6"},
         [](ReceiverConfig &config, ReceiverMonitor &) {
             config.TCP[1].TCPDSPara.NMEA[3].time = 4000000000u;
             config.StationPos.Latitude = -33.5;
             config.PDOPLimit = 2.25f;
             const uint8_t addr[] = {0xa1, 0xb2, 0xc3, 0xd4, 0xe5, 0xf6};
             memcpy(config.BT.addr, addr, sizeof addr);
         }},
        {"MailboxState",
         {"set", "monitor", "OperateState=-1", "SourceTable[199]=last"},
         [](ReceiverConfig &, ReceiverMonitor &monitor) {
             monitor.op.OperateState = OP_FAILED;
             memcpy(monitor.SourceTable[199], "last", 5);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fill(harness::config());
        fill(harness::monitor());
        static ReceiverConfig config;
        static ReceiverMonitor monitor;
        config = harness::config();
        monitor = harness::monitor();
        c.expect(config, monitor);

        harness::Result result = storectl(c.args);

        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(harness::hex(harness::config()), harness::hex(config));
        EXPECT_EQ(harness::hex(harness::monitor()), harness::hex(monitor));
    }
}

TEST(StorectlHelp, ShowsEveryCommandWithAnExample)
{
    harness::Result help = storectl({"--help"});

    EXPECT_EQ(help.status, 0);
    for (const char *example :
         {"storectl show config TUNNEX", "storectl set config TUNNEX.domain=",
          "storectl post ENTRY_TUNNEX_OP", "storectl watch monitor op", "storectl layout config"})
        EXPECT_NE(help.out.find(example), std::string::npos) << example;
}

} // namespace
