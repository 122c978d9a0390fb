// The integrator's documents read as transcripts: every example and failure answer in api.md is
// sent to the program it names and must come back byte for byte, every key, size, offset and
// number in the tables of api.md and integration.md must be the build's own, and every setting,
// path and name in the tables of deploy.md must be the project's.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

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

// Each row on empty records, with the fault its "When" names.
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

        // The short-wait build for the mailbox (300 ms); the product's for a lock (2 s), since
        // the tests' store waits long for locks on purpose.
        harness::Result result =
            send(when == "mailbox busy" ? program + "-shortwait" : program, row.cells[2]);

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

// deploy.md

std::string project_file(const std::string &path)
{
    return harness::read_file(std::string(SOURCE_DIR) + "/" + path);
}

bool is_name(char c)
{
    return isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// The name (letters, digits, underscores) after each occurrence of prefix that does not
// continue a longer name: "env." finds WWW_ROOT in "env.WWW_ROOT", nothing in "setenv.set".
std::vector<std::string> names_after(const std::string &text, const std::string &prefix)
{
    std::vector<std::string> names;
    for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
        if (at > 0 && is_name(prefix[0]) && is_name(text[at - 1]))
            continue;
        size_t end = at + prefix.size();
        while (end < text.size() && is_name(text[end]))
            ++end;
        names.push_back(text.substr(at + prefix.size(), end - at - prefix.size()));
    }
    return names;
}

// The arguments of every call of command in a CMake file, quoted ones without their quotes.
std::vector<std::vector<std::string>> calls(const std::string &text, const std::string &command)
{
    std::vector<std::vector<std::string>> found;
    const std::string opening = command + "(";
    for (size_t at = text.find(opening); at != std::string::npos; at = text.find(opening, at + 1)) {
        if (at > 0 && is_name(text[at - 1]))
            continue;
        std::vector<std::string> arguments;
        size_t next = at + opening.size();
        while (next < text.size() && text[next] != ')') {
            if (isspace(static_cast<unsigned char>(text[next])) != 0) {
                ++next;
            } else if (text[next] == '"') {
                const size_t close = std::min(text.find('"', next + 1), text.size());
                arguments.push_back(text.substr(next + 1, close - next - 1));
                next = close + 1;
            } else {
                const size_t close = std::min(text.find_first_of(" \t\n)", next), text.size());
                arguments.push_back(text.substr(next, close - next));
                next = close;
            }
        }
        found.push_back(arguments);
    }
    return found;
}

// Every `key = value` and `"key" => value` of a lighttpd configuration whose value is a quoted
// text (kept with its quotes) or a number; keys without their quotes.
std::multimap<std::string, std::string> assignments(const std::string &text)
{
    std::multimap<std::string, std::string> found;
    for (size_t at = text.find('='); at != std::string::npos; at = text.find('=', at + 1)) {
        size_t key_end = at;
        while (key_end > 0 && (text[key_end - 1] == ' ' || text[key_end - 1] == '\t'))
            --key_end;
        if (key_end > 0 && text[key_end - 1] == '"')
            --key_end;
        size_t key_start = key_end;
        while (key_start > 0 && (is_name(text[key_start - 1]) || text[key_start - 1] == '.' ||
                                 text[key_start - 1] == '-'))
            --key_start;
        size_t value = at + 1;
        if (value < text.size() && text[value] == '>')
            ++value;
        while (value < text.size() && (text[value] == ' ' || text[value] == '\t'))
            ++value;
        size_t value_end = value;
        if (value < text.size() && text[value] == '"') {
            value_end = text.find_first_of("\"\n", value + 1);
            if (value_end == std::string::npos || text[value_end] != '"')
                continue;
            ++value_end;
        } else {
            while (value_end < text.size() && isdigit(static_cast<unsigned char>(text[value_end])))
                ++value_end;
        }
        if (key_start < key_end && value < value_end)
            found.emplace(text.substr(key_start, key_end - key_start),
                          text.substr(value, value_end - value));
    }
    return found;
}

// The project's cache variables with their defaults as its CMake files write them. A build
// directory inside the tree has CMake files of its own and is passed over.
TEST(Deploy, BuildSettingsAreTheProjects)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> defined;
    for (auto entry = fs::recursive_directory_iterator(SOURCE_DIR);
         entry != fs::recursive_directory_iterator(); ++entry) {
        const fs::path &path = entry->path();
        const std::string name = path.filename().string();
        if (entry->is_directory()) {
            if (name[0] == '.' || name == "node_modules" || fs::exists(path / "CMakeCache.txt"))
                entry.disable_recursion_pending();
            continue;
        }
        if (name != "CMakeLists.txt" && path.extension() != ".cmake")
            continue;
        const std::string text = harness::read_file(path.string());
        for (const std::vector<std::string> &set : calls(text, "set"))
            if (set.size() >= 3 && set[2] == "CACHE" && set[0].rfind("CMAKE_", 0) != 0)
                defined[set[0]] = set[1];
        for (const std::vector<std::string> &option : calls(text, "option"))
            if (option.size() == 3)
                defined[option[0]] = option[2];
    }
    std::map<std::string, std::string> documented;
    for (const Row &row : rows(document("deploy.md"), "| Variable | Default | Sets |")) {
        ASSERT_EQ(row.cells.size(), 3u);
        documented[row.cells[0]] = row.cells[1];
    }
    EXPECT_EQ(documented, defined);
}

// What an install of this build puts below its prefix: "file", or "link to TARGET".
std::map<std::string, std::string> install_tree()
{
    namespace fs = std::filesystem;
    char prefix[] = "/tmp/docs-install-XXXXXX";
    if (mkdtemp(prefix) == nullptr)
        return {};
    const int null = open("/dev/null", O_WRONLY);
    const pid_t pid = harness::spawn({CMAKE_COMMAND, "--install", BINARY_DIR, "--prefix", prefix},
                                     {{"PATH", "/usr/bin:/bin"}}, -1, null, -1);
    close(null);
    const int status = harness::finish(pid, std::chrono::seconds(60));
    EXPECT_EQ(status, 0) << "cmake --install";
    std::map<std::string, std::string> tree;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(prefix)) {
        const std::string path = entry.path().lexically_relative(prefix).string();
        if (entry.is_symlink())
            tree[path] = "link to " + fs::read_symlink(entry.path()).string();
        else if (!entry.is_directory())
            tree[path] = "file";
    }
    fs::remove_all(prefix);
    return tree;
}

// A path ending in "/" stands for whatever lies below it; PROGRAM for each of the ten; "—" in
// the column of this build for nothing at all.
TEST(Deploy, InstallIsTheDocumentedLayout)
{
    const std::vector<std::string> programs = {"tunnex",  "ddns",        "portvia",   "ins",
                                               "credset", "stationmark", "fillmeter", "aersignal",
                                               "aerlist", "aerkind"};
    std::map<std::string, std::string> expected;
    std::vector<std::string> trees;
    for (const Row &row :
         rows(document("deploy.md"), "| Installed | Dynamic build | Static build |")) {
        ASSERT_EQ(row.cells.size(), 3u);
        const std::string &path = row.cells[0], &what = row.cells[PROGRAMS_STATIC ? 2 : 1];
        if (what == "—")
            continue;
        if (path.back() == '/') {
            trees.push_back(path);
            continue;
        }
        const size_t link = what.find("link to `");
        const std::string kind =
            link == std::string::npos
                ? "file"
                : "link to " + what.substr(link + 9, what.find('`', link + 9) - (link + 9));
        const size_t placeholder = path.find("PROGRAM");
        if (placeholder == std::string::npos) {
            expected[path] = kind;
            continue;
        }
        for (const std::string &program : programs)
            expected[std::string(path).replace(placeholder, 7, program)] = kind;
    }
    ASSERT_FALSE(expected.empty());

    const std::map<std::string, std::string> installed = install_tree();
    for (const auto &[path, kind] : expected)
        EXPECT_EQ(installed.count(path) != 0 ? installed.at(path) : "<missing>", kind) << path;
    for (const std::string &tree : trees)
        EXPECT_TRUE(std::any_of(installed.begin(), installed.end(),
                                [&](const auto &file) { return file.first.rfind(tree, 0) == 0; }))
            << "nothing below " << tree;
    for (const auto &[path, kind] : installed)
        EXPECT_TRUE(expected.count(path) != 0 ||
                    std::any_of(trees.begin(), trees.end(),
                                [&](const std::string &tree) { return path.rfind(tree, 0) == 0; }))
            << path << " is installed but not documented";
}

TEST(Deploy, PackageIsNamedAsDocumented)
{
    std::map<std::string, std::string> settings;
    for (const std::vector<std::string> &set :
         calls(harness::read_file(std::string(BINARY_DIR) + "/CPackConfig.cmake"), "set"))
        if (set.size() == 2)
            settings[set[0]] = set[1];
    ASSERT_EQ(settings.count("CPACK_PACKAGE_FILE_NAME"), 1u);
    ASSERT_EQ(settings.count("CPACK_PACKAGE_VERSION"), 1u);
    const std::string package = settings["CPACK_PACKAGE_FILE_NAME"] + ".tar.gz";
    const std::string version = settings["CPACK_PACKAGE_VERSION"];
    std::vector<std::string> documented;
    for (const Row &row : rows(document("deploy.md"), "| Build | Package |")) {
        std::string name = row.cells.back();
        const size_t placeholder = name.find("VERSION");
        if (placeholder != std::string::npos)
            name.replace(placeholder, 7, version);
        documented.push_back(name);
    }
    EXPECT_NE(std::find(documented.begin(), documented.end(), package), documented.end())
        << package;
}

// The web server's environment, modules and settings, as its configuration and the script that
// adds the optional settings name them.
TEST(Deploy, WebServerSettingsAreTheConfigs)
{
    const std::string config = project_file("deploy/lighttpd.conf");
    const std::string optional = project_file("deploy/lighttpd-optional.sh");
    const std::string doc = document("deploy.md");

    std::map<std::string, std::string> environment, documented_environment;
    for (const std::string &name : names_after(config, "env."))
        environment[name] = "yes";
    for (const std::string &name : names_after(optional, "${"))
        environment[name] = "no";
    for (const Row &row : rows(doc, "| Environment | Required | Sets |"))
        documented_environment[row.cells[0]] = row.cells[1];
    EXPECT_EQ(documented_environment, environment);

    std::map<std::string, std::string> modules, documented_modules;
    for (const std::string &name : names_after(config + optional, "\"mod_"))
        modules["mod_" + name] = "";
    for (const Row &row : rows(doc, "| Module | Loaded |"))
        documented_modules[row.cells[0]] = "";
    EXPECT_EQ(documented_modules, modules);

    const auto settings = assignments(config + optional);
    const std::vector<Row> documented_settings = rows(doc, "| Setting | Value | Why |");
    ASSERT_GE(documented_settings.size(), 8u);
    for (const Row &row : documented_settings) {
        ASSERT_EQ(row.cells.size(), 3u);
        const auto range = settings.equal_range(row.cells[0]);
        EXPECT_TRUE(
            std::any_of(range.first, range.second,
                        [&](const auto &setting) { return setting.second == row.cells[1]; }))
            << row.cells[0] << " is not " << row.cells[1];
    }
}

} // namespace
