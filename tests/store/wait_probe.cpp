// Runs one mailbox wait of the short-bound store and reports how it went:
//
//   store-wait-probe wait | post <operation>
//
// prints "<result> <processor ms> <wall ms>\n", both times spent in that call alone.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/resource.h>

#include "sharememory.h"

namespace {

long long processor_ms()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

long long wall_ms()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

} // namespace

int main(int argc, char **argv)
{
    const bool post = argc == 3 && strcmp(argv[1], "post") == 0;
    if (!post && !(argc == 2 && strcmp(argv[1], "wait") == 0)) {
        fprintf(stderr, "usage: %s wait | post <operation>\n", argv[0]);
        return 2;
    }
    InitShareMemory();
    const long long processor_start = processor_ms();
    const long long wall_start = wall_ms();
    const int result = post ? PostMonitorOperate(static_cast<OPERATE_ENTRY>(atoi(argv[2])))
                            : WaitMonitorOperateIdle();
    printf("%d %lld %lld\n", result, processor_ms() - processor_start, wall_ms() - wall_start);
    return 0;
}
