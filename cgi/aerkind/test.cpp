// Stores an uploaded antenna list. The new list is written beside the old one and renamed over
// it only once it is complete, so a reader always finds one whole list and a failed upload
// leaves the previous one in place.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "multipart.h"
#include "request.h"

#ifndef AERKIND_LIST_PATH
#define AERKIND_LIST_PATH "/usrdata/aerkind.txt"
#endif

namespace {

constexpr char list_path[] = AERKIND_LIST_PATH;
/* Far above any real list (800 names of 20 bytes) and still small for the device's flash. */
constexpr size_t list_cap = 1 << 20;
constexpr size_t chunk_size = 4096;

/* The web server ends a program whose client went away with SIGTERM: the temporary file must
 * not outlive it. One upload per process, so one path. */
char temporary_path[PATH_MAX];
volatile sig_atomic_t temporary_exists = 0;

extern "C" void remove_temporary(int signal_number)
{
    if (temporary_exists)
        unlink(temporary_path);
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

void remove_temporary_on_termination()
{
    struct sigaction action = {};
    action.sa_handler = remove_temporary;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal_number, &action, nullptr);
}

/* The next list, in a temporary file in the list's own directory so the rename stays atomic. */
class Replacement final : public multipart::Sink {
public:
    Replacement() = default;
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;
    ~Replacement() { abandon(); }

    bool open()
    {
        remove_temporary_on_termination();
        snprintf(temporary_path, sizeof temporary_path, "%s.XXXXXX", list_path);
        int fd = mkstemp(temporary_path);
        if (fd < 0)
            return false;
        temporary_exists = 1;
        file_ = fdopen(fd, "wb");
        if (file_ == nullptr) {
            close(fd);
            unlink(temporary_path);
            temporary_exists = 0;
            return false;
        }
        return true;
    }

    void write(const char *data, size_t size) override
    {
        if (over_cap_ || size > list_cap - size_) {
            over_cap_ = true;
            return;
        }
        if (fwrite(data, 1, size, file_) != size)
            failed_ = true;
        size_ += size;
    }

    void restart() override
    {
        if (fflush(file_) != 0 || ftruncate(fileno(file_), 0) != 0 || fseek(file_, 0, SEEK_SET))
            failed_ = true;
        size_ = 0;
        over_cap_ = false;
    }

    bool over_cap() const { return over_cap_; }

    bool commit()
    {
        if (over_cap_ || failed_) {
            abandon();
            return false;
        }
        int fd = fileno(file_);
        bool written = fflush(file_) == 0 && fchmod(fd, list_mode()) == 0 && fsync(fd) == 0;
        bool closed = fclose(file_) == 0;
        file_ = nullptr;
        if (!written || !closed || rename(temporary_path, list_path) != 0) {
            unlink(temporary_path);
            temporary_exists = 0;
            return false;
        }
        temporary_exists = 0;
        sync_directory();
        return true;
    }

    void abandon()
    {
        if (file_ == nullptr)
            return;
        fclose(file_);
        file_ = nullptr;
        unlink(temporary_path);
        temporary_exists = 0;
    }

private:
    /* mkstemp makes the file private; the list keeps the mode it had, or gets the mode a
     * plain create would have given it, since other programs read it too. */
    static mode_t list_mode()
    {
        struct stat old;
        if (stat(list_path, &old) == 0)
            return old.st_mode & 07777;
        mode_t mask = umask(0);
        umask(mask);
        return 0666 & ~mask;
    }

    /* Makes the rename itself survive a power cut. */
    static void sync_directory()
    {
        char directory[PATH_MAX];
        snprintf(directory, sizeof directory, "%s", list_path);
        char *slash = strrchr(directory, '/');
        if (slash == nullptr)
            snprintf(directory, sizeof directory, ".");
        else
            slash[slash == directory ? 1 : 0] = '\0';
        int fd = ::open(directory, O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return;
        fsync(fd);
        close(fd);
    }

    FILE *file_ = nullptr;
    size_t size_ = 0;
    bool over_cap_ = false;
    bool failed_ = false;
};

bool store_text(const char *text)
{
    Replacement list;
    if (!list.open())
        return false;
    list.write(text, strlen(text));
    return list.commit();
}

/* Reads no further than the declared length, and stops early once the outcome is known. */
bool store_upload(FILE *fp, long declared)
{
    Replacement list;
    if (!list.open())
        return false;
    multipart::Reader reader(getenv("CONTENT_TYPE"), list);
    char chunk[chunk_size];
    unsigned long left = static_cast<unsigned long>(declared);
    while (left > 0) {
        size_t got = fread(chunk, 1, left < sizeof chunk ? left : sizeof chunk, fp);
        if (got == 0)
            break;
        left -= got;
        if (!reader.feed(chunk, got))
            break;
        if (list.over_cap() && reader.settled())
            break;
    }
    if (reader.finish() != multipart::Outcome::stored) {
        list.abandon();
        return false;
    }
    return list.commit();
}

} // namespace

/* Replaces the antenna list: with the query string's bytes for "GET", with the uploaded file
 * for "POST". Returns the query string or the list's path when the list was replaced, null when
 * the previous list stands. Nothing it returns is released by the caller. */
char *getcgidata(FILE *fp, char *requestmethod)
{
    static char stored_path[] = AERKIND_LIST_PATH;
    if (requestmethod == nullptr)
        return nullptr;
    if (strcmp(requestmethod, "GET") == 0) {
        char *query = getenv("QUERY_STRING");
        if (query == nullptr || *query == '\0')
            return nullptr;
        return store_text(query) ? query : nullptr;
    }
    if (strcmp(requestmethod, "POST") != 0)
        return nullptr;
    long declared = 0;
    if (!cgi::declared_length(&declared) || declared <= 0)
        return nullptr;
    return store_upload(fp, declared) ? stored_path : nullptr;
}

int main()
{
    cgi::Json answer(json_object_new_object());
    if (answer.get() == nullptr)
        return 1;
    puts(CGI_HEADER_LINE);
    bool stored = getcgidata(stdin, getenv("REQUEST_METHOD")) != nullptr;
    json_object_object_add(answer.get(), "Res",
                           json_object_new_string(stored ? "Success" : "failed"));
    printf("%s", json_object_to_json_string(answer.get()));
    return 0;
}
