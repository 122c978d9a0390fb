#include "semaphore.h"

#include <cerrno>
#include <cstdio>

namespace {

int step(int sem_id, short delta)
{
    struct sembuf op = {};
    op.sem_num = 0;
    op.sem_op = delta;
    op.sem_flg = SEM_UNDO;
    int rc;
    do {
        rc = semop(sem_id, &op, 1);
    } while (rc == -1 && errno == EINTR);
    return rc;
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

int semaphore_v(int sem_id)
{
    if (step(sem_id, 1) == -1) {
        perror("V operation");
        return -1;
    }
    return 0;
}
