// The integrator's documents read as transcripts: every example and failure answer in api.md is
// sent to the program it names and must come back byte for byte, and every key, size, offset
// and number in the tables of both documents must be the build's own.
#include <cstddef>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"
#include "semaphore.h"
#include "sharememory.h"

namespace {

std::string document(const char *name)
{
    return harness::read_file(std::string(DOCS_DIR) + "/" + name);
}

std::string trim(const std::string &text)
{
    const size_t first = text.find_first_not_of(" `");
    const size_t last = text.find_last_not_of(" `");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

struct Row {
    std::string program; // the first word of the heading above the table
    std::vector<std::string> cells;
};

// The rows of every table whose header line is exactly header, cells without their backticks.
std::vector<Row> rows(const std::string &doc, const std::string &header)
{
    std::vector<Row> found;
    std::string program;
    bool inside = false;
    size_t start = 0;
    while (start < doc.size()) {
        size_t end = doc.find('\n', start);
        if (end == std::string::npos)
            end = doc.size();
        const std::string line = doc.substr(start, end - start);
        start = end + 1;
        if (line.rfind("### ", 0) == 0)
            program = line.substr(4, line.find_first_of(" :", 4) - 4);
        if (line == header) {
            inside = true;
            continue;
        }
        if (!inside || line.rfind("|---", 0) == 0)
            continue;
        if (line.empty() || line[0] != '|') {
            inside = false;
            continue;
        }
        /* No cell of these tables holds a bar of its own. */
        Row row{program, {}};
        for (size_t cell = 1, bar; (bar = line.find('|', cell)) != std::string::npos;
             cell = bar + 1)
            row.cells.push_back(trim(line.substr(cell, bar - cell)));
        found.push_back(row);
    }
    return found;
}

// "GET query", "POST body", or "UPLOAD name, name": a file of those lines, as a form sends it.
harness::Result send(const std::string &program, const std::string &request)
{
    const size_t space = request.find(' ');
    const std::string method = request.substr(0, space);
    const std::string rest = request.substr(space + 1);
    if (method == "GET")
        return harness::get(program, rest);
    if (method == "POST")
        return harness::post(program, rest);
    std::string file;
    for (size_t at = 0, comma; at <= rest.size(); at = comma + 2) {
        comma = rest.find(", ", at);
        if (comma == std::string::npos)
            comma = rest.size();
        file += rest.substr(at, comma - at) + "\n";
    }
    const std::string body = "--docs\r\nContent-Disposition: form-data; name=\"file\"; "
                             "filename=\"antennas.txt\"\r\nContent-Type: text/plain\r\n\r\n" +
                             file + "\r\n--docs--\r\n";
    return harness::run(program,
                        {{"REQUEST_METHOD", "POST"},
                         {"CONTENT_TYPE", "multipart/form-data; boundary=docs"},
                         {"CONTENT_LENGTH", std::to_string(body.size())}},
                        body);
}

TEST(Api, ExamplesAnswerAsDocumented)
{
    const std::vector<Row> examples = rows(document("api.md"), "| Request | Answer |");
    ASSERT_GE(examples.size(), 20u);
    harness::Daemon daemon;
    for (const Row &row : examples) {
        ASSERT_EQ(row.cells.size(), 2u) << row.program;
        harness::Result result = send(row.program, row.cells[0]);
        EXPECT_EQ(result.out, harness::header + row.cells[1]) << row.program << " " << row.cells[0];
    }
}

// Each row on empty records, against the build whose waits give up after 300 ms.
TEST(Api, FailureAnswersAsDocumented)
{
    const std::vector<Row> failures =
        rows(document("api.md"), "| Program | When | Request | Answer |");
    ASSERT_GE(failures.size(), 10u);
    harness::attach();
    for (const Row &row : failures) {
        ASSERT_EQ(row.cells.size(), 4u);
        const std::string &program = row.cells[0], &when = row.cells[1];
        SCOPED_TRACE(program + ", " + when + ": " + row.cells[2]);
        memset(&harness::config(), 0, sizeof(ReceiverConfig));
        memset(&harness::monitor(), 0, sizeof(ReceiverMonitor));
        const std::map<std::string, int> locks = {{"configuration lock held", ZarvelConfig.sem},
                                                  {"monitor lock held", ZarvelMonitor.sem}};
        const int held = locks.count(when) != 0 ? locks.at(when) : -1;
        if (held != -1) {
            ASSERT_EQ(semaphore_p(held), 0);
        } else if (when == "mailbox busy") {
            harness::monitor().op = {ENTRY_IP_OP, OP_EXE};
        } else {
            ASSERT_EQ(when, "no list stored");
        }

        harness::Result result =
            send(when == "no list stored" ? program : program + "-shortwait", row.cells[2]);

        if (held != -1)
            semaphore_v(held);
        EXPECT_EQ(result.out, harness::header + row.cells[3]);
        EXPECT_EQ(result.status, 0);
    }
}

TEST(Api, LimitsAreTheFieldsWidths)
{
    const std::map<std::string, size_t> limits = {
        {"tunnex RN", sizeof(TUNNEXConfig::domain) - 1},
        {"tunnex authtoken", sizeof(TUNNEXConfig::authtoken) - 1},
        {"portvia RN", sizeof(PORTVIAConfig::domain) - 1},
        {"portvia authtoken", sizeof(PORTVIAConfig::authtoken) - 1},
        {"ddns RN", sizeof(DDNSConfig::domain) - 1},
        {"ddns SP", sizeof(DDNSConfig::server_name) - 1},
        {"ddns username", sizeof(DDNSConfig::user_name) - 1},
        {"ddns password", sizeof(DDNSConfig::password) - 1},
        {"credset name", sizeof(ReceiverConfig::user)},
        {"credset newPass", sizeof(ReceiverConfig::pawd)},
        {"stationmark id", sizeof(ReceiverConfig::StationID)},
    };
    std::map<std::string, size_t> documented;
    for (const Row &row : rows(document("api.md"), "| Key | Type | Does | At most |")) {
        const std::string &limit = row.cells.back();
        if (limit.size() > 6 && limit.compare(limit.size() - 6, 6, " bytes") == 0)
            documented[row.program + " " + row.cells[0]] = std::stoul(limit);
    }
    EXPECT_EQ(documented, limits);
}

// The first number in a cell: "3456 (0x0D80)" is 3456; a leading 0 reads octal ("0666").
long number(const std::string &cell)
{
    const size_t digit = cell.find_first_of("-0123456789");
    return digit == std::string::npos ? -1 : strtol(cell.c_str() + digit, nullptr, 0);
}

TEST(Integration, RecordsHaveTheirKeysAndSizes)
{
    struct Record {
        long shm_key, sem_key, size, mode;
    };
    const long mode = SHARE_IPC_FLAGS & 0777;
    const std::map<std::string, Record> records = {
        {"ReceiverConfig", {CONFIG_SHM_KEY, CONFIG_SEM_KEY, sizeof(ReceiverConfig), mode}},
        {"ReceiverMonitor", {MONITOR_SHM_KEY, MONITOR_SEM_KEY, sizeof(ReceiverMonitor), mode}},
        {"GNSSInfo", {GNSS_SHM_KEY, GNSS_SEM_KEY, sizeof(GNSSInfo), mode}},
    };
    std::map<std::string, Record> documented;
    for (const Row &row : rows(document("integration.md"),
                               "| Record | Segment key | Semaphore key | Size | Permissions |")) {
        ASSERT_EQ(row.cells.size(), 5u);
        documented[row.cells[0]] = {number(row.cells[1]), number(row.cells[2]),
                                    number(row.cells[3]), number(row.cells[4])};
        // The hexadecimal form that ipcs shows, beside the key.
        for (int key : {1, 2}) {
            char hex[16];
            snprintf(hex, sizeof hex, "(0x%04lX)", number(row.cells[key]));
            EXPECT_NE(row.cells[key].find(hex), std::string::npos) << row.cells[key];
        }
    }
    ASSERT_EQ(documented.size(), records.size());
    for (const auto &[name, record] : records) {
        SCOPED_TRACE(name);
        const Record &doc = documented[name];
        EXPECT_EQ(doc.shm_key, record.shm_key);
        EXPECT_EQ(doc.sem_key, record.sem_key);
        EXPECT_EQ(doc.size, record.size);
        EXPECT_EQ(doc.mode, record.mode);
    }
}

struct Place {
    size_t offset, size;
    bool operator==(const Place &other) const
    {
        return offset == other.offset && size == other.size;
    }
};

std::ostream &operator<<(std::ostream &out, const Place &place)
{
    return out << place.offset << "+" << place.size;
}

#define AT(Record, member) \
    { \
#Record "." #member, Place \
        { \
            offsetof(Record, member), sizeof(static_cast<Record *>(nullptr)->member) \
        } \
    }

TEST(Integration, FieldsHaveTheirOffsetsAndSizes)
{
    const std::map<std::string, Place> fields = {
        AT(ReceiverConfig, StationID),
        AT(ReceiverConfig, DDNS),
        AT(ReceiverConfig, PORTVIA),
        AT(ReceiverConfig, TUNNEX),
        AT(ReceiverConfig, user),
        AT(ReceiverConfig, pawd),
        AT(ReceiverConfig, INS),
        AT(ReceiverMonitor, op.OperateEntry),
        AT(ReceiverMonitor, op.OperateState),
        AT(ReceiverMonitor, UpgradeProgress),
        AT(ReceiverMonitor, HasReadenProgress),
        AT(ReceiverMonitor, IMUState),
        AT(ReceiverMonitor, Ant1SQI),
        AT(ReceiverMonitor, Ant2SQI),
        AT(TUNNEXConfig, enable),
        AT(TUNNEXConfig, authtoken),
        AT(TUNNEXConfig, domain),
        AT(TUNNEXConfig, region),
        AT(PORTVIAConfig, enable),
        AT(PORTVIAConfig, authtoken),
        AT(PORTVIAConfig, domain),
        AT(DDNSConfig, enable),
        AT(DDNSConfig, server_name),
        AT(DDNSConfig, user_name),
        AT(DDNSConfig, password),
        AT(DDNSConfig, domain),
        AT(INSConfig, enable),
        AT(INSConfig, mode),
        AT(INSConfig, axial),
        AT(INSConfig, initSV),
    };
    std::map<std::string, Place> documented;
    for (const Row &row : rows(document("integration.md"), "| Field | Offset | Size | Holds |")) {
        ASSERT_EQ(row.cells.size(), 4u);
        documented[row.cells[0]] = {static_cast<size_t>(number(row.cells[1])),
                                    static_cast<size_t>(number(row.cells[2]))};
    }
    EXPECT_EQ(documented, fields);
}

#define NAMED(value) \
    { \
#value, value \
    }

TEST(Integration, OperationsAndStatesHaveTheirNumbers)
{
    const std::map<std::string, long> numbers = {
        NAMED(ENTRY_SID_OP),        NAMED(ENTRY_DDNS_OP),
        NAMED(ENTRY_PORTVIA_OP),    NAMED(ENTRY_TUNNEX_OP),
        NAMED(ENTRY_INS_OP),        NAMED(ENTRY_STATION_ID),
        NAMED(ENTRY_DDNS_CONFIG),   NAMED(ENTRY_PORTVIA_CONFIG),
        NAMED(ENTRY_TUNNEX_CONFIG), NAMED(ENTRY_INS),
        NAMED(OP_FAILED),           NAMED(OP_COMPLETE),
        NAMED(OP_ENABLE),           NAMED(OP_EXE),
        NAMED(OP_SUCCESS),
    };
    std::map<std::string, long> documented;
    const std::string doc = document("integration.md");
    for (const Row &row : rows(doc, "| Operation | Posted by | After writing |")) {
        ASSERT_EQ(row.cells.size(), 3u);
        for (int cell : {0, 2}) {
            const std::string &text = row.cells[cell]; // "ENTRY_TUNNEX_OP` (64)"
            documented[text.substr(0, text.find('`'))] = number(text.substr(text.find('(')));
        }
    }
    for (const Row &row : rows(doc, "| State | Value | Meaning |"))
        documented[row.cells[0]] = number(row.cells[1]);
    EXPECT_EQ(documented, numbers);
}

// The daemon of integration.md, built as C against the store, carries out what the programs
// post: ins answers only once its operation is finished.
TEST(Integration, ExampleDaemonTakesThePosts)
{
    harness::Process daemon("example-daemon");
    ASSERT_TRUE(daemon.wait_for("ready\n"));

    harness::Result tunnex = harness::post("tunnex", R"({"RN":"rover.example.net"})");
    harness::Result ins = harness::post("ins", R"({"enable":1})");

    EXPECT_EQ(tunnex.out, harness::header + R"({ "State": 1, "Res": "success" })");
    EXPECT_EQ(ins.out, harness::header + R"({ "Res": "Success" })");
    ASSERT_TRUE(daemon.wait_for("op 65\n"));
    EXPECT_EQ(daemon.output(), "ready\nop 64\ntunnel service A on\nop 65\n");
}

} // namespace
