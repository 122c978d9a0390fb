// The test programs' main: every test case runs in an IPC and mount namespace of its own, so
// the programs' fixed keys and paths never reach the host's segments or files.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace harness {
void reset_attachment();
}

namespace {

void make_directories(const std::string &path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0755);
        if (slash == std::string::npos)
            return;
    }
}

[[noreturn]] void give_up(const char *what)
{
    fprintf(stderr, "harness: %s: %s (the tests need root for their namespaces)\n", what,
            strerror(errno));
    exit(2);
}

// The list's directory and the memory card get an empty tmpfs each. Only the mount points
// themselves are made on the host, when a machine lacks them.
void isolate()
{
    if (unshare(CLONE_NEWIPC | CLONE_NEWNS) != 0)
        give_up("unshare");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        give_up("private mounts");
    std::string list_dir = AERKIND_LIST_PATH;
    list_dir.erase(list_dir.rfind('/'));
    for (const std::string &dir : {list_dir, std::string(MMC_MOUNT_POINT)}) {
        make_directories(dir);
        if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64m,mode=0755") != 0)
            give_up(dir.c_str());
    }
    harness::reset_attachment();
}

class Isolation : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo &) override { isolate(); }
};

} // namespace

int main(int argc, char **argv)
{
    signal(SIGPIPE, SIG_IGN);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new Isolation);
    return RUN_ALL_TESTS();
}
