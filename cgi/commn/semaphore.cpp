#include "semaphore.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {

struct sembuf operation(short delta)
{
    struct sembuf op = {};
    op.sem_num = 0;
    op.sem_op = delta;
    op.sem_flg = SEM_UNDO;
    return op;
}

int step(int sem_id, short delta)
{
    struct sembuf op = operation(delta);
    int rc;
    do {
        rc = semop(sem_id, &op, 1);
    } while (rc == -1 && errno == EINTR);
    return rc;
}

long long monotonic_ns()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

/* A set that was never operated on still has sem_otime 0; a lock that someone holds does not. */
bool never_operated(int sem_id)
{
    struct semid_ds info = {};
    union semun arg;
    arg.buf = &info;
    return semctl(sem_id, 0, IPC_STAT, arg) == 0 && info.sem_otime == 0;
}

} // namespace

int init_semaphore(int sem_id, int init_value)
{
    union semun arg;
    arg.val = init_value;
    if (semctl(sem_id, 0, SETVAL, arg) == -1) {
        perror("Initialize semaphore");
        return 1;
    }
    return 0;
}

int del_semaphore(int sem_id)
{
    union semun arg;
    arg.val = 0;
    if (semctl(sem_id, 0, IPC_RMID, arg) == -1) {
        perror("Delete smaphore");
        return -1;
    }
    return 0;
}

int semaphore_p(int sem_id)
{
    if (step(sem_id, -1) == -1) {
        perror("P operation");
        return -1;
    }
    return 0;
}

int semaphore_p_timed(int sem_id, long wait_ms)
{
    struct sembuf op = operation(-1);
    const long long deadline_ns = monotonic_ns() + wait_ms * 1000000LL;
    for (;;) {
        long long left_ns = deadline_ns - monotonic_ns();
        if (left_ns < 0)
            left_ns = 0;
        timespec left = {static_cast<time_t>(left_ns / 1000000000LL),
                         static_cast<long>(left_ns % 1000000000LL)};
        if (semtimedop(sem_id, &op, 1, &left) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN) {
            perror("P operation");
            return -1;
        }
        if (never_operated(sem_id))
            fprintf(stderr, "P operation: semaphore set %d was never given its value\n", sem_id);
        else
            fprintf(stderr, "P operation: semaphore set %d still held after %ld ms\n", sem_id,
                    wait_ms);
        errno = EAGAIN;
        return -1;
    }
}

int semaphore_v(int sem_id)
{
    if (step(sem_id, 1) == -1) {
        perror("V operation");
        return -1;
    }
    return 0;
}
