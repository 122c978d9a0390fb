// The test harness: runs the programs the way a CGI host does, inside the test's own IPC and
// mount namespace, and gives the test process its own attachment to the records.
#ifndef TESTS_HARNESS_H
#define TESTS_HARNESS_H

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "sharememory.h"

namespace harness {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// What every answering program prints before its answer.
inline const std::string header = "Content-type: application/text;charset=utf-8\n\n";

// The environment of one run: exactly these variables, nothing inherited.
using Env = std::vector<std::pair<std::string, std::string>>;

struct Result {
    std::string out;
    std::string err;
    int status = -1;        // exit status, or 128 + signal number when killed
    bool timed_out = false; // killed by the harness at the time limit
};

constexpr Millis default_limit = 30s;

// The built program and the command line that starts it (with the build's launcher).
std::string program(const std::string &name);
std::vector<std::string> command(const std::string &name,
                                 const std::vector<std::string> &args = {});

// Starts cmd with exactly env in a process group of its own. Its standard input is in (-1:
// /dev/null), its output and error out and err (-1: the test's own).
pid_t spawn(const std::vector<std::string> &cmd, const Env &env, int in, int out, int err);
// Waits at most limit for pid to end; false when it has not. status: as in Result, or -1 when
// there was nothing to wait for.
bool reap(pid_t pid, Millis limit, int *status);
// Waits at most limit for pid, then kills what is left of its group (the process too, when it
// outlived the limit) and reaps it, again within a bound. Its status as in Result.
int finish(pid_t pid, Millis limit, bool *timed_out = nullptr);

// Runs a program to its end: env exactly as given, input on standard input.
Result run(const std::string &name, const Env &env, const std::string &input = {},
           Millis limit = default_limit, const std::vector<std::string> &args = {});
// The two requests the pages make: a POST with its body and length, a GET with a query.
Result post(const std::string &name, const std::string &body, Millis limit = default_limit);
Result get(const std::string &name, const std::string &query, Millis limit = default_limit);

// A program that runs beside the test until it is stopped (or the object goes away).
class Process {
public:
    Process(const std::string &name, const std::vector<std::string> &args = {},
            const Env &env = {});
    ~Process();
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    pid_t pid() const { return pid_; }
    // All it printed on standard output so far.
    std::string output() const;
    // Waits until its output holds text; false at the limit.
    bool wait_for(const std::string &text, Millis limit = 20s) const;
    // SIGTERM, then SIGKILL if it does not end; the exit status as in Result.
    int stop();

private:
    pid_t pid_ = -1;
    FILE *out_ = nullptr;
    int status_ = -1;
};

// The receiver daemon stand-in, attached and servicing the mailbox once constructed.
class Daemon {
public:
    explicit Daemon(const std::vector<std::string> &args = {});
    // Operations it has taken so far, each with the announced setting's bytes as it found
    // them (hex), in order.
    std::vector<std::pair<int, std::string>> operations() const;
    bool wait_for_operations(size_t count, Millis limit = 20s) const;
    int stop() { return process_.stop(); }

private:
    Process process_;
};

// The test process's own attachment to the records of its namespace (attached on first use).
ReceiverConfig &config();
ReceiverMonitor &monitor();
GNSSInfo &gnss();
void attach();

// The value of semaphore 0 of a set.
int semaphore_value(int sem_id);

// Bytes of an object, for exact comparisons in failure messages.
std::string hex(const void *data, size_t size);
template <typename T> std::string hex(const T &object)
{
    return hex(&object, sizeof object);
}

// A file's content, or "<missing>".
std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &content);

} // namespace harness

#endif
