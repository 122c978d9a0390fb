#include <csignal>
#include <cstring>
#include <string>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "harness.h"
#include "semaphore.h"
#include "sharememory.h"

namespace {

struct Segment {
    key_t sem_key;
    key_t shm_key;
    size_t size;
};

const Segment segments[] = {{3000, 3456, 14912}, {4000, 4567, 30168}, {2000, 2345, 32056}};

size_t segment_size(key_t key)
{
    int id = shmget(key, 0, 0);
    struct shmid_ds info;
    if (id == -1 || shmctl(id, IPC_STAT, &info) == -1)
        return 0;
    return info.shm_segsz;
}

int existing_semaphore(key_t key)
{
    return semget(key, 0, 0);
}

TEST(Attach, FirstAttacherCreatesZeroFilledRecordsAndFreeLocks)
{
    harness::attach();
    const void *records[] = {ZarvelConfig.shm, ZarvelMonitor.shm, ZarvelGNSS.shm};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(segments[i].shm_key);
        EXPECT_EQ(segment_size(segments[i].shm_key), segments[i].size);
        std::string zeros(segments[i].size, '\0');
        EXPECT_EQ(memcmp(records[i], zeros.data(), zeros.size()), 0);
        EXPECT_EQ(harness::semaphore_value(existing_semaphore(segments[i].sem_key)), 1);
    }
    EXPECT_EQ(static_cast<void *>(ZarvelConfig.para), ZarvelConfig.shm);
    EXPECT_EQ(ZarvelConfig.sem, existing_semaphore(3000));
}

TEST(Attach, LaterAttacherLeavesTheLockAsItFindsIt)
{
    harness::attach();
    ASSERT_EQ(semaphore_p(ZarvelConfig.sem), 0); // held by this process

    harness::Result result = harness::run("frame-probe", {});

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(harness::semaphore_value(ZarvelConfig.sem), 0);
    semaphore_v(ZarvelConfig.sem);
}

struct FailureCase {
    const char *name;
    std::vector<std::string> args;
    std::string out;
};

class SmallConfigSegment : public testing::TestWithParam<FailureCase> {};

TEST_P(SmallConfigSegment, StopsAttachingAtTheConfigurationRecord)
{
    ASSERT_NE(shmget(3456, 100, IPC_CREAT | 0666), -1);

    harness::Result result = harness::run("frame-probe", {{"REQUEST_METHOD", "GET"}}, {},
                                          harness::default_limit, GetParam().args);

    EXPECT_EQ(result.err, "shmget failed\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, GetParam().out);
    EXPECT_EQ(shmget(4567, 0, 0), -1);
    EXPECT_EQ(shmget(2345, 0, 0), -1);
}

INSTANTIATE_TEST_SUITE_P(Orders, SmallConfigSegment,
                         testing::Values(FailureCase{"HeaderFirst", {}, harness::header},
                                         FailureCase{"AttachFirst", {"--attach-first"}, ""}),
                         [](const testing::TestParamInfo<FailureCase> &info) {
                             return info.param.name;
                         });

TEST(Attach, ALockHolderKilledBeforeReleasingFreesTheLock)
{
    harness::attach();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    if (holder == 0) {
        semaphore_p(ZarvelMonitor.sem);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(harness::semaphore_value(ZarvelMonitor.sem), 0);

    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);

    EXPECT_EQ(harness::semaphore_value(ZarvelMonitor.sem), 1);
}

TEST(Attach, DeleteRemovesOnlyTheConfigurationObjects)
{
    pid_t child = fork();
    if (child == 0) {
        InitShareMemory();
        DeleteShareMemory();
        _exit(99); // never reached
    }
    int status = 0;
    waitpid(child, &status, 0);

    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(shmget(3456, 0, 0), -1);
    EXPECT_EQ(existing_semaphore(3000), -1);
    EXPECT_EQ(segment_size(4567), 30168u);
    EXPECT_EQ(segment_size(2345), 32056u);
    EXPECT_NE(existing_semaphore(4000), -1);
    EXPECT_NE(existing_semaphore(2000), -1);
}

// Runs f with standard error sent to a file, and gives what it wrote there.
template <typename F> std::string stderr_of(F f)
{
    fflush(stderr);
    FILE *capture = tmpfile();
    int saved = dup(2);
    dup2(fileno(capture), 2);
    f();
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text(4096, '\0');
    const ssize_t got = pread(fileno(capture), text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    fclose(capture);
    return text;
}

TEST(Semaphore, FailuresReportTheirOwnTextAndValue)
{
    const int gone = 0x7ffffff0; // no such set
    struct Primitive {
        const char *text;
        int (*call)(int);
        int failure;
    } primitives[] = {
        {"Initialize semaphore", [](int id) { return init_semaphore(id, 1); }, 1},
        {"Delete smaphore", del_semaphore, -1},
        {"P operation", semaphore_p, -1},
        {"V operation", semaphore_v, -1},
    };
    for (const Primitive &primitive : primitives) {
        int result = 0;
        std::string text = stderr_of([&] { result = primitive.call(gone); });
        EXPECT_EQ(result, primitive.failure) << primitive.text;
        EXPECT_EQ(text, std::string(primitive.text) + ": " + strerror(EINVAL) + "\n");
    }
}

} // namespace
