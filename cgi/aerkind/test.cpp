// Stores an uploaded antenna list. The new list is written beside the old one and renamed over
// it only once it is complete, so a reader always finds one whole list and a failed upload
// leaves the previous one in place.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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
constexpr int termination_signals[] = {SIGTERM, SIGINT, SIGHUP};

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
    for (int signal_number : termination_signals)
        sigaction(signal_number, &action, nullptr);
}

/* The directory that holds the list, into directory; returns the list's own name. */
const char *list_directory(char (&directory)[PATH_MAX])
{
    const char *slash = strrchr(list_path, '/');
    if (slash == nullptr) {
        snprintf(directory, sizeof directory, ".");
        return list_path;
    }
    const int length = slash == list_path ? 1 : static_cast<int>(slash - list_path);
    snprintf(directory, sizeof directory, "%.*s", length, list_path);
    return slash + 1;
}

/* Holds the termination signals back while the temporary file and the mark that removes it
 * come into being together. */
class TerminationHeld {
public:
    TerminationHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (int signal_number : termination_signals)
            sigaddset(&held, signal_number);
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~TerminationHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    TerminationHeld(const TerminationHeld &) = delete;
    TerminationHeld &operator=(const TerminationHeld &) = delete;

private:
    sigset_t previous_;
};

/* A SIGKILL leaves a temporary file that nothing removes at the time. Every writer locks its own
 * temporary right after creating it, then marks it with locked_mode, and holds the lock until
 * the file is renamed or removed: a marked one that can be locked has no writer any more. An
 * unmarked one may belong to a writer between creating and locking it, so it goes only once
 * it is older than any such writer can be. */
constexpr mode_t locked_mode = 0400;
void remove_stale_temporaries()
{
    char directory[PATH_MAX];
    const char *name = list_directory(directory);
    const size_t name_size = strlen(name);

    DIR *entries = opendir(directory);
    if (entries == nullptr)
        return;
    const int directory_fd = dirfd(entries);
    while (const dirent *entry = readdir(entries)) {
        /* The list's name, a dot and mkstemp's six characters. */
        if (strlen(entry->d_name) != name_size + 7 ||
            strncmp(entry->d_name, name, name_size) != 0 || entry->d_name[name_size] != '.')
            continue;
        int fd = openat(directory_fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat status;
        constexpr time_t grace_seconds = 5;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &status) == 0 &&
            S_ISREG(status.st_mode) &&
            ((status.st_mode & 07777) == locked_mode ||
             time(nullptr) - status.st_mtime > grace_seconds))
            unlinkat(directory_fd, entry->d_name, 0);
        close(fd);
    }
    closedir(entries);
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
        remove_stale_temporaries();
        TerminationHeld held;
        snprintf(temporary_path, sizeof temporary_path, "%s.XXXXXX", list_path);
        lock_fd_ = mkostemp(temporary_path, O_CLOEXEC);
        if (lock_fd_ < 0)
            return false;
        temporary_exists = 1;
        int fd = -1;
        if (flock(lock_fd_, LOCK_EX) != 0 || fchmod(lock_fd_, locked_mode) != 0 ||
            (fd = dup(lock_fd_)) < 0 || (file_ = fdopen(fd, "wb")) == nullptr) {
            if (fd >= 0)
                close(fd);
            remove();
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
        /* The lock is held until the rename, so no other upload takes the file for stale. */
        if (!written || !closed || rename(temporary_path, list_path) != 0) {
            remove();
            return false;
        }
        temporary_exists = 0;
        close(lock_fd_);
        lock_fd_ = -1;
        sync_directory();
        return true;
    }

    void abandon()
    {
        if (file_ != nullptr)
            fclose(file_);
        file_ = nullptr;
        if (lock_fd_ >= 0)
            remove();
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
        list_directory(directory);
        int fd = ::open(directory, O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return;
        fsync(fd);
        close(fd);
    }

    /* The name goes before the lock: a file that can be locked under this name is stale. */
    void remove()
    {
        unlink(temporary_path);
        temporary_exists = 0;
        close(lock_fd_);
        lock_fd_ = -1;
    }

    int lock_fd_ = -1;
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

namespace {

void work(const cgi::Request &request, json_object *answer)
{
    cgi::add_string(answer, "Res", request.text != nullptr ? "Success" : "failed");
}

} // namespace

int main()
{
    return cgi::serve({cgi::Attach::never, work, cgi::failed, getcgidata});
}
