#include "harness.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/sem.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "semaphore.h"

namespace harness {

namespace {

std::vector<std::string> split_launcher()
{
    std::vector<std::string> parts;
    std::string all = CGI_LAUNCHER;
    size_t start = 0;
    while (!all.empty() && start <= all.size()) {
        size_t end = all.find('\x1f', start);
        if (end == std::string::npos)
            end = all.size();
        parts.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

struct Argv {
    explicit Argv(const std::vector<std::string> &words)
    {
        for (const auto &word : words)
            pointers.push_back(const_cast<char *>(word.c_str()));
        pointers.push_back(nullptr);
    }
    std::vector<char *> pointers;
};

std::vector<std::string> env_words(const Env &env)
{
    std::vector<std::string> words;
    for (const auto &[name, value] : env)
        words.push_back(name + "=" + value);
    return words;
}

int decode(int wait_status)
{
    if (WIFEXITED(wait_status))
        return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status))
        return 128 + WTERMSIG(wait_status);
    return -1;
}

void set_nonblocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

long long now_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// How long a process killed with SIGKILL may take to be reaped (an emulated one is slow).
constexpr long long kill_grace_ms = 5000;

} // namespace

pid_t spawn(const std::vector<std::string> &cmd, const Env &env, int in, int out, int err)
{
    // Everything the child needs exists before it does: the posting tests start programs from
    // several threads, and a forked child of such a process may not allocate.
    std::vector<std::string> words = env_words(env);
    Argv argv(cmd), envp(words);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in >= 0)
        posix_spawn_file_actions_adddup2(&actions, in, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    if (err >= 0)
        posix_spawn_file_actions_adddup2(&actions, err, 2);
    // A group of its own, so a time limit stops the launcher and the program together.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv.pointers[0], &actions, &attributes,
                                    argv.pointers.data(), envp.pointers.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " + cmd[0] + ": " + strerror(failed));
    return pid;
}

bool reap(pid_t pid, Millis limit, int *status)
{
    const long long deadline = now_ms() + limit.count();
    int wait_status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &wait_status, WNOHANG);
        if (done == pid || (done == -1 && errno != EINTR)) {
            *status = done == pid ? decode(wait_status) : -1;
            return true;
        }
        if (now_ms() >= deadline)
            return false;
        usleep(1000);
    }
}

int finish(pid_t pid, Millis limit, bool *timed_out)
{
    int status = -1;
    const bool ended = reap(pid, limit, &status);
    if (timed_out != nullptr)
        *timed_out = !ended;
    // Whatever is left in its group goes too; a program that outlived its limit first.
    kill(-pid, SIGKILL);
    if (!ended && !reap(pid, Millis(kill_grace_ms), &status))
        status = -1;
    return status;
}

std::string program(const std::string &name)
{
    return std::string(CGI_BIN_DIR) + "/" + name;
}

std::vector<std::string> command(const std::string &name, const std::vector<std::string> &args)
{
    std::vector<std::string> cmd = split_launcher();
    cmd.push_back(program(name));
    cmd.insert(cmd.end(), args.begin(), args.end());
    return cmd;
}

Result run(const std::string &name, const Env &env, const std::string &input, Millis limit,
           const std::vector<std::string> &args)
{
    std::vector<std::string> cmd = command(name, args);
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        throw std::runtime_error("pipe failed");

    const pid_t pid = spawn(cmd, env, in[0], out[1], err[1]);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    set_nonblocking(in[1]);

    Result result;
    size_t written = 0;
    int to_child = in[1];
    if (input.empty()) {
        close(to_child);
        to_child = -1;
    }
    const long long deadline = now_ms() + limit.count();
    int open_outputs = 2;
    while (open_outputs > 0) {
        long long left = deadline - now_ms();
        if (left <= 0) {
            result.timed_out = true;
            kill(-pid, SIGKILL);
            break;
        }
        struct pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {to_child, POLLOUT, 0}};
        if (poll(fds, to_child >= 0 ? 3 : 2, static_cast<int>(left)) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char chunk[65536];
            ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
            if (got > 0) {
                (i == 0 ? result.out : result.err).append(chunk, static_cast<size_t>(got));
            } else if (got == 0 || errno != EAGAIN) {
                close(fds[i].fd);
                (i == 0 ? out[0] : err[0]) = -1;
                --open_outputs;
            }
        }
        if (to_child >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t put = write(to_child, input.data() + written, input.size() - written);
            if (put > 0)
                written += static_cast<size_t>(put);
            if (put < 0 && errno != EAGAIN)
                written = input.size(); // the program stopped reading: the rest stays unread
            if (written == input.size()) {
                close(to_child);
                to_child = -1;
            }
        }
    }
    for (int fd : {out[0], err[0], to_child})
        if (fd >= 0)
            close(fd);
    // A program that closed its outputs may still be running: it gets what is left of its time.
    bool late = false;
    result.status = finish(pid, Millis(std::max(deadline - now_ms(), 0LL)), &late);
    result.timed_out = result.timed_out || late;
    return result;
}

Result post(const std::string &name, const std::string &body, Millis limit)
{
    Env env = {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", std::to_string(body.size())}};
    return run(name, env, body, limit);
}

Result get(const std::string &name, const std::string &query, Millis limit)
{
    return run(name, {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", query}}, {}, limit);
}

Process::Process(const std::string &name, const std::vector<std::string> &args, const Env &env)
{
    std::vector<std::string> cmd = command(name, args);
    out_ = tmpfile();
    if (out_ == nullptr)
        throw std::runtime_error("tmpfile failed");
    pid_ = spawn(cmd, env, -1, fileno(out_), -1);
}

Process::~Process()
{
    stop();
    if (out_ != nullptr)
        fclose(out_);
}

std::string Process::output() const
{
    std::string text;
    char chunk[4096];
    off_t offset = 0;
    ssize_t got;
    while ((got = pread(fileno(out_), chunk, sizeof chunk, offset)) > 0) {
        text.append(chunk, static_cast<size_t>(got));
        offset += got;
    }
    return text;
}

bool Process::wait_for(const std::string &text, Millis limit) const
{
    const long long deadline = now_ms() + limit.count();
    while (output().find(text) == std::string::npos) {
        if (now_ms() > deadline)
            return false;
        usleep(2000);
    }
    return true;
}

int Process::stop()
{
    if (pid_ <= 0)
        return status_;
    kill(pid_, SIGTERM);
    status_ = finish(pid_, 5s);
    pid_ = -1;
    return status_;
}

Daemon::Daemon(const std::vector<std::string> &args) : process_("receiver-standin", args)
{
    if (!process_.wait_for("ready\n"))
        throw std::runtime_error("the daemon stand-in did not start");
}

std::vector<std::pair<int, std::string>> Daemon::operations() const
{
    std::vector<std::pair<int, std::string>> taken;
    std::istringstream lines(process_.output());
    std::string word, bytes;
    int entry;
    while (lines >> word) {
        if (word != "op")
            continue;
        lines >> entry >> bytes;
        taken.emplace_back(entry, bytes == "-" ? "" : bytes);
    }
    return taken;
}

bool Daemon::wait_for_operations(size_t count, Millis limit) const
{
    const long long deadline = now_ms() + limit.count();
    while (operations().size() < count) {
        if (now_ms() > deadline)
            return false;
        usleep(2000);
    }
    return true;
}

static bool attached = false;

void reset_attachment()
{
    attached = false;
}

void attach()
{
    if (attached)
        return;
    InitShareMemory();
    attached = true;
}

ReceiverConfig &config()
{
    attach();
    return *ZarvelConfig.para;
}

ReceiverMonitor &monitor()
{
    attach();
    return *ZarvelMonitor.para;
}

GNSSInfo &gnss()
{
    attach();
    return *ZarvelGNSS.para;
}

int semaphore_value(int sem_id)
{
    return semctl(sem_id, 0, GETVAL);
}

std::string hex(const void *data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    const auto *bytes = static_cast<const unsigned char *>(data);
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string read_file(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "<missing>";
    std::string text;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    fclose(file);
    return text;
}

void write_file(const std::string &path, const std::string &content)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path);
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
}

} // namespace harness
