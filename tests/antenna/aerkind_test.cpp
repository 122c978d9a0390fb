// aerkind through the CGI host: upload bodies in, the answer and the list file's bytes out.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

using harness::header;

const std::string list_path = AERKIND_LIST_PATH;
const std::string list_dir = list_path.substr(0, list_path.rfind('/'));
const std::string stored = header + "{ \"Res\": \"Success\" }";
const std::string refused = header + "{ \"Res\": \"failed\" }";
const std::string old_list = "OLD-ANTENNA-1\nOLD-ANTENNA-2\n";
constexpr size_t chunk = 4096; // the program's read size and its reader's window
constexpr size_t cap = 1 << 20;

std::string file_part(const std::string &boundary, const std::string &content,
                      const std::string &headers = "Content-Type: text/plain\r\n")
{
    return "--" + boundary +
           "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"aerkind.txt\"\r\n" +
           headers + "\r\n" + content + "\r\n";
}

std::string field_part(const std::string &boundary, const std::string &value)
{
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\n" + value +
           "\r\n";
}

std::string closing(const std::string &boundary)
{
    return "--" + boundary + "--\r\n";
}

std::string form_type(const std::string &boundary)
{
    return "multipart/form-data; boundary=\"" + boundary + "\"";
}

harness::Result upload(const std::optional<std::string> &content_type, const std::string &body,
                       std::optional<std::string> length = std::nullopt)
{
    harness::Env env = {{"REQUEST_METHOD", "POST"},
                        {"CONTENT_LENGTH", length.value_or(std::to_string(body.size()))}};
    if (content_type)
        env.emplace_back("CONTENT_TYPE", *content_type);
    return harness::run("aerkind", env, body);
}

// Everything in the list's directory: the list alone, never a temporary file left behind.
std::vector<std::string> directory_entries()
{
    std::vector<std::string> names;
    DIR *dir = opendir(list_dir.c_str());
    if (dir == nullptr)
        return names;
    while (dirent *entry = readdir(dir))
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> list_alone = {list_path.substr(list_path.rfind('/') + 1)};

// Bytes a boundary may hold (RFC 2046 bchars), a different mix for each length.
std::string boundary_of(size_t size)
{
    static const std::string chars =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ'()+_,-./:=? ";
    std::string boundary;
    for (size_t i = 0; i < size; ++i)
        boundary += chars[(i * 11 + size) % chars.size()];
    if (boundary.back() == ' ')
        boundary.back() = '-';
    return boundary;
}

// Binary content that keeps coming close to the delimiter without forming it.
std::string content_of(size_t size, const std::string &boundary)
{
    std::string content;
    uint32_t state = static_cast<uint32_t>(size) * 2654435761u + 1;
    while (content.size() < size) {
        state = state * 1103515245u + 12345u;
        if ((state >> 16) % 16 == 0)
            content += "\r\n--" + boundary.substr(0, (state >> 20) % boundary.size());
        else
            content += static_cast<char>(state >> 24);
    }
    content.resize(size);
    for (size_t at; (at = content.find("\r\n--" + boundary)) != std::string::npos;)
        content[at + 2] = '_';
    return content;
}

class Boundaries : public testing::TestWithParam<size_t> {};

// Content sizes around the edges of the reader: a body shorter than the delimiter, the old
// 46-byte cut, the window and read size, and content whose closing delimiter begins just
// before, on and after a read boundary of the whole body.
TEST_P(Boundaries, StoreTheFileExactly)
{
    const std::string boundary = boundary_of(GetParam());
    const size_t prefix = (field_part(boundary, "a note") + file_part(boundary, "")).size() - 2;
    std::vector<size_t> sizes = {
        0, 1, 2, 45, 46, 47, chunk - 1, chunk, chunk + 1, 2 * chunk, 3 * chunk + 17};
    for (size_t reads : {1u, 2u})
        for (size_t back = 0; back <= boundary.size() + 8; back += 1 + boundary.size() / 4)
            sizes.push_back(reads * chunk - prefix - back);
    for (size_t size : sizes) {
        SCOPED_TRACE("content of " + std::to_string(size) + " bytes");
        const std::string content = content_of(size, boundary);
        harness::Result result =
            upload(form_type(boundary), field_part(boundary, "a note") +
                                            file_part(boundary, content) + closing(boundary));
        ASSERT_EQ(result.out, stored);
        ASSERT_EQ(result.status, 0);
        ASSERT_EQ(harness::read_file(list_path), content);
    }
    EXPECT_EQ(directory_entries(), list_alone);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Boundaries, testing::Values(1, 16, 30, 38, 40, 70),
                         [](const testing::TestParamInfo<size_t> &info) {
                             return "Boundary" + std::to_string(info.param);
                         });

struct ShapeCase {
    const char *name;
    std::optional<std::string> content_type;
    std::string body;
    std::string list;
};

class Shapes : public testing::TestWithParam<ShapeCase> {};

TEST_P(Shapes, StoreTheFilePart)
{
    const ShapeCase &c = GetParam();
    harness::write_file(list_path, old_list);
    harness::Result result = upload(c.content_type, c.body);
    EXPECT_EQ(result.out, stored);
    EXPECT_EQ(harness::read_file(list_path), c.list);
    EXPECT_EQ(directory_entries(), list_alone);
}

const std::string B = "----WebKitFormBoundary7MA4YWxkTrZu0gW"; // 38 characters, as browsers
const std::string crlf_list = "TRM59800.00     NONE\r\nLEIAR25.R4      LEIT\r\n";

std::string all_bytes()
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes + bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Shapes,
    testing::Values(
        ShapeCase{"CrLfList", form_type(B), file_part(B, crlf_list) + closing(B), crlf_list},
        ShapeCase{"FormFieldBeforeTheFile", form_type(B),
                  field_part(B, "Content-Type: x\r\n\r\n") + file_part(B, crlf_list) + closing(B),
                  crlf_list},
        ShapeCase{"ContentLooksLikePartHeaders", form_type(B),
                  file_part(B, "Content-Type: text/plain\r\n\r\n\r\nANT\r\n\r\n") + closing(B),
                  "Content-Type: text/plain\r\n\r\n\r\nANT\r\n\r\n"},
        ShapeCase{"BoundaryCopiesNotAtALineStart", form_type(B),
                  file_part(B, "ANT --" + B + " --" + B + "--\r\nX--" + B) + closing(B),
                  "ANT --" + B + " --" + B + "--\r\nX--" + B},
        ShapeCase{"BinaryBytes", form_type(B), file_part(B, all_bytes()) + closing(B), all_bytes()},
        ShapeCase{"PartWithoutContentType", form_type(B), file_part(B, crlf_list, "") + closing(B),
                  crlf_list},
        ShapeCase{"EmptyFile", form_type(B), file_part(B, "") + closing(B), ""},
        ShapeCase{"PreambleEpilogueAndPadding", form_type(B),
                  "preamble\r\n--" + B +
                      " \t\r\nContent-Disposition: form-data; name=f; "
                      "filename=a\r\n\r\n" +
                      crlf_list + "\r\n--" + B + "--\r\nepilogue",
                  crlf_list},
        ShapeCase{"UnquotedBoundaryAndOtherCase", "Multipart/Form-Data; BOUNDARY=abc",
                  file_part("abc", crlf_list) + closing("abc"), crlf_list},
        ShapeCase{"NoContentType", std::nullopt, file_part(B, crlf_list) + closing(B), crlf_list},
        ShapeCase{"OnlyAFieldPart", form_type(B), field_part(B, "ANT1") + closing(B), "ANT1"}),
    [](const testing::TestParamInfo<ShapeCase> &info) { return info.param.name; });

struct RefusalCase {
    const char *name;
    harness::Env env;
    std::string body;
};

class Refusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, KeepThePreviousList)
{
    const RefusalCase &c = GetParam();
    harness::write_file(list_path, old_list);
    harness::Result result = harness::run("aerkind", c.env, c.body);
    EXPECT_EQ(result.out, refused);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(harness::read_file(list_path), old_list);
    EXPECT_EQ(directory_entries(), list_alone);
}

harness::Env post_env(const std::string &body, const std::string &type = form_type(B))
{
    return {{"REQUEST_METHOD", "POST"},
            {"CONTENT_LENGTH", std::to_string(body.size())},
            {"CONTENT_TYPE", type}};
}

const std::string good_body = file_part(B, crlf_list) + closing(B);
const std::string unclosed_body = file_part(B, crlf_list);
const std::string over_cap_body = file_part(B, std::string(cap + 1, 'A')) + closing(B);

INSTANTIATE_TEST_SUITE_P(
    Cases, Refusals,
    testing::Values(
        RefusalCase{"TruncatedBody",
                    {{"REQUEST_METHOD", "POST"},
                     {"CONTENT_LENGTH", std::to_string(good_body.size() + 10)},
                     {"CONTENT_TYPE", form_type(B)}},
                    good_body.substr(0, good_body.size() - 5)},
        RefusalCase{"DeclaredLengthShortOfTheBody",
                    {{"REQUEST_METHOD", "POST"},
                     {"CONTENT_LENGTH", std::to_string(good_body.size() - 3)},
                     {"CONTENT_TYPE", form_type(B)}},
                    good_body},
        RefusalCase{"NoClosingDelimiter", post_env(unclosed_body), unclosed_body},
        RefusalCase{"NoPart", post_env("--" + B + "--\r\n"), "--" + B + "--\r\n"},
        RefusalCase{"OverTheCap", post_env(over_cap_body), over_cap_body},
        RefusalCase{"NotMultipart", post_env("list=ANT1", "application/x-www-form-urlencoded"),
                    "list=ANT1"},
        RefusalCase{"BoundaryOf71", post_env(good_body, form_type(std::string(71, 'b'))),
                    good_body},
        RefusalCase{
            "LengthZero",
            {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "0"}, {"CONTENT_TYPE", form_type(B)}},
            good_body},
        RefusalCase{
            "LengthNegative",
            {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "-1"}, {"CONTENT_TYPE", form_type(B)}},
            good_body},
        RefusalCase{"LengthWithoutDigits",
                    {{"REQUEST_METHOD", "POST"},
                     {"CONTENT_LENGTH", "many"},
                     {"CONTENT_TYPE", form_type(B)}},
                    good_body},
        RefusalCase{
            "NoLength", {{"REQUEST_METHOD", "POST"}, {"CONTENT_TYPE", form_type(B)}}, good_body},
        RefusalCase{"GetWithoutQuery", {{"REQUEST_METHOD", "GET"}}, ""},
        RefusalCase{"GetWithEmptyQuery", {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", ""}}, ""},
        RefusalCase{"Head", {{"REQUEST_METHOD", "HEAD"}, {"QUERY_STRING", "ANT1"}}, ""},
        RefusalCase{"Options", {{"REQUEST_METHOD", "OPTIONS"}}, ""},
        RefusalCase{"Delete", {{"REQUEST_METHOD", "DELETE"}}, ""},
        RefusalCase{"Put",
                    {{"REQUEST_METHOD", "PUT"},
                     {"CONTENT_LENGTH", std::to_string(good_body.size())},
                     {"CONTENT_TYPE", form_type(B)}},
                    good_body},
        RefusalCase{"LowerCasePost",
                    {{"REQUEST_METHOD", "post"},
                     {"CONTENT_LENGTH", std::to_string(good_body.size())},
                     {"CONTENT_TYPE", form_type(B)}},
                    good_body},
        RefusalCase{"NoMethod", {}, good_body}),
    [](const testing::TestParamInfo<RefusalCase> &info) { return info.param.name; });

TEST(Aerkind, GetStoresTheQueryStringAsItIs)
{
    harness::write_file(list_path, old_list);
    harness::Result result = harness::get("aerkind", "ANT%201&x=y\"");
    EXPECT_EQ(result.out, stored);
    EXPECT_EQ(harness::read_file(list_path), "ANT%201&x=y\"");
}

TEST(Aerkind, ListUpToTheCapIsStored)
{
    const std::string content(cap, 'A');
    harness::Result result = upload(form_type(B), file_part(B, content) + closing(B));
    EXPECT_EQ(result.out, stored);
    EXPECT_EQ(harness::read_file(list_path), content);
}

TEST(Aerkind, NewListKeepsTheModeOfTheOld)
{
    harness::write_file(list_path, old_list);
    chmod(list_path.c_str(), 0604);
    ASSERT_EQ(upload(form_type(B), good_body).out, stored);
    struct stat status;
    ASSERT_EQ(stat(list_path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
}

TEST(Aerkind, UnwritableDirectoryKeepsThePreviousList)
{
    harness::write_file(list_path, old_list);
    ASSERT_EQ(mount(nullptr, list_dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
        << strerror(errno);
    EXPECT_EQ(upload(form_type(B), good_body).out, refused);
    EXPECT_EQ(harness::get("aerkind", "ANT1").out, refused);
    EXPECT_EQ(harness::read_file(list_path), old_list);
}

// Replays uploads that real clients made; the list must be the uploaded file byte for byte.
class Clients : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/aerkind-clients.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        harness::write_file(dir_ + "/list.txt", list_);
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    static bool have(const std::string &tool)
    {
        return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
    }

    // Runs a script that leaves the body and its content type in the scratch directory.
    void replay(const std::string &command)
    {
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::string type = harness::read_file(dir_ + "/type");
        std::string body = harness::read_file(dir_ + "/body");
        ASSERT_NE(body, "<missing>");
        harness::write_file(list_path, old_list);
        harness::Result result = upload(type, body);
        EXPECT_EQ(result.out, stored) << type;
        EXPECT_EQ(harness::read_file(list_path), list_);
    }

    std::string dir_;
    // CR LF lines, UTF-8 and a line that ends without its line end.
    const std::string list_ = "TRM59800.00     NONE\r\nLEIAR25.R4      LEIT\r\n"
                              "\xc3\x84NT-3 \xe2\x82\xac\r\n";
};

const std::string clients_dir = ANTENNA_TEST_DIR "/clients";

TEST_F(Clients, Curl)
{
    if (!have("curl") || !have("python3"))
        GTEST_SKIP() << "curl or python3 missing";
    const std::string d = "'" + dir_ + "'";
    // curl posts to a one-request listener on the loopback that keeps the body as sent.
    replay("cd " + d + " && { python3 '" + clients_dir +
           "/capture.py' body type > port & } && for i in $(seq 100); do "
           "[ -s port ] && break; sleep 0.05; done && "
           "curl -sS -H 'Expect:' -F note=hello -F 'file=@list.txt;type=text/plain' "
           "\"http://127.0.0.1:$(cat port)/\" >/dev/null && wait");
}

TEST_F(Clients, PythonEmailPackage)
{
    if (!have("python3"))
        GTEST_SKIP() << "python3 missing";
    replay("cd '" + dir_ + "' && python3 '" + clients_dir + "/email_form.py' list.txt body type");
}

TEST_F(Clients, NodeFormData)
{
    if (!have("node"))
        GTEST_SKIP() << "node missing";
    replay("cd '" + dir_ + "' && node '" + clients_dir + "/formdata.mjs' list.txt body type");
}

// An upload whose body arrives slowly, while the test reads the list beside it.
class SlowUpload {
public:
    SlowUpload(const std::string &content_type, size_t length)
    {
        int in[2];
        if (pipe2(in, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        out_ = tmpfile();
        harness::Env env = {{"REQUEST_METHOD", "POST"},
                            {"CONTENT_LENGTH", std::to_string(length)},
                            {"CONTENT_TYPE", content_type}};
        pid_ = harness::spawn(harness::command("aerkind"), env, in[0], fileno(out_), -1);
        close(in[0]);
        to_child_ = in[1];
    }

    void send(const std::string &bytes)
    {
        ASSERT_EQ(write(to_child_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Closes its input and gives what it answered.
    std::string finish()
    {
        close(to_child_);
        harness::finish(pid_, harness::default_limit);
        fflush(out_);
        std::string answer;
        char chunk[4096];
        size_t got;
        rewind(out_);
        while ((got = fread(chunk, 1, sizeof chunk, out_)) > 0)
            answer.append(chunk, got);
        fclose(out_);
        return answer;
    }

    // Ends it with a signal (SIGTERM: the web server, when the client goes away); how it ended.
    int terminate(int signal_number = SIGTERM)
    {
        kill(pid_, signal_number);
        const int status = harness::finish(pid_, harness::default_limit);
        close(to_child_);
        fclose(out_);
        return status;
    }

private:
    pid_t pid_ = -1;
    int to_child_ = -1;
    FILE *out_ = nullptr;
};

std::string aerlist_answer(const std::string &list)
{
    std::string answer = header + "{ \"data\": [ ";
    size_t start = 0;
    for (size_t end; (end = list.find('\n', start)) != std::string::npos; start = end + 1)
        answer += (start ? ", \"" : "\"") + list.substr(start, end - start) + "\"";
    return answer + " ], \"Res\": \"Success\" }";
}

TEST(Aerkind, ReadersSeeTheOldListOrTheNewNeverAMix)
{
    harness::write_file(list_path, old_list);
    std::string new_list;
    for (int i = 0; i < 800; ++i)
        new_list += "NEW-ANTENNA-" + std::to_string(1000 + i) + "\n";
    const std::string body = file_part(B, new_list) + closing(B);
    const std::string old_answer = aerlist_answer(old_list);

    SlowUpload upload(form_type(B), body.size());
    const size_t piece = 1000;
    size_t at = 0;
    for (; body.size() - at > piece; at += piece) {
        upload.send(body.substr(at, piece));
        usleep(2000); // time for the program to take the piece in
        // Still the old list, whole, while the body is on its way.
        ASSERT_EQ(harness::read_file(list_path), old_list) << "after " << at + piece;
        if (at / piece % 8 == 0) {
            ASSERT_EQ(harness::get("aerlist", "").out, old_answer);
        }
    }
    upload.send(body.substr(at));
    EXPECT_EQ(upload.finish(), stored);
    EXPECT_EQ(harness::read_file(list_path), new_list);
    EXPECT_EQ(directory_entries(), list_alone);
}

TEST(Aerkind, UploadEndedBySignalLeavesTheListAndNoTemporaryFile)
{
    harness::write_file(list_path, old_list);
    const std::string body = file_part(B, std::string(3 * chunk, 'N')) + closing(B);
    SlowUpload upload(form_type(B), body.size());
    upload.send(body.substr(0, 2 * chunk));
    for (int waited = 0; directory_entries().size() < 2 && waited < 10000; waited += 5)
        usleep(5000);
    ASSERT_EQ(directory_entries().size(), 2u) << "no temporary file while the upload runs";
    EXPECT_EQ(upload.terminate(), 128 + SIGTERM);
    EXPECT_EQ(harness::read_file(list_path), old_list);
    EXPECT_EQ(directory_entries(), list_alone);
}

// A writer killed outright leaves its temporary file; the next upload removes it, but never the
// temporary of an upload that is still running.
TEST(Aerkind, KilledUploadsTemporaryGoesWithTheNextUploadALiveOneStays)
{
    harness::write_file(list_path, old_list);
    const std::string body = file_part(B, std::string(3 * chunk, 'N')) + closing(B);
    // Sends part of the body; the upload's temporary file, the one name that is new.
    const auto start = [&](SlowUpload &upload, const std::vector<std::string> &known) {
        upload.send(body.substr(0, 2 * chunk));
        for (int waited = 0; waited < 10000; waited += 5) {
            for (const std::string &name : directory_entries())
                if (std::find(known.begin(), known.end(), name) == known.end())
                    return name;
            usleep(5000);
        }
        return std::string("<none>");
    };

    SlowUpload killed(form_type(B), body.size());
    const std::string killed_file = start(killed, list_alone);
    EXPECT_EQ(killed.terminate(SIGKILL), 128 + SIGKILL);
    std::vector<std::string> left = {list_alone[0], killed_file};
    std::sort(left.begin(), left.end());
    ASSERT_EQ(directory_entries(), left) << "the killed upload's temporary file stays";

    SlowUpload live(form_type(B), body.size());
    const std::string live_file = start(live, left);
    std::vector<std::string> running = {list_alone[0], live_file};
    std::sort(running.begin(), running.end());
    EXPECT_EQ(directory_entries(), running) << "the next upload removed the stale one";

    EXPECT_EQ(upload(form_type(B), good_body).out, stored);
    EXPECT_EQ(harness::read_file(list_path), crlf_list);
    EXPECT_EQ(directory_entries(), running) << "a live upload's temporary file stays";

    live.send(body.substr(2 * chunk));
    EXPECT_EQ(live.finish(), stored);
    EXPECT_EQ(harness::read_file(list_path), std::string(3 * chunk, 'N'));
    EXPECT_EQ(directory_entries(), list_alone);
}

} // namespace
