/* The lock primitives of the store: System V semaphore sets of one semaphore, used as
 * mutual-exclusion locks between the receiver daemon and the endpoint processes. */
#ifndef COMMN_SEMAPHORE_H
#define COMMN_SEMAPHORE_H

#include <sys/types.h>
#include <sys/ipc.h>
#include <sys/sem.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The argument of semctl; the system headers leave it to the caller. Only val is used. */
union semun {
    int val;
    struct semid_ds *buf;
    unsigned short *array;
};

/* Sets semaphore 0 of the set to init_value. 0, or 1 after perror("Initialize semaphore"). */
int init_semaphore(int sem_id, int init_value);

/* Removes the set. 0, or -1 after perror("Delete smaphore"). */
int del_semaphore(int sem_id);

/* Takes the lock (subtract 1, SEM_UNDO), waiting as long as it is held. A wait cut short by a
 * signal is resumed. 0, or -1 after perror("P operation"): the caller then does not hold it. */
int semaphore_p(int sem_id);

/* Takes the lock like semaphore_p, but waits at most wait_ms milliseconds. 0 when taken; -1
 * when not: after perror("P operation") when the set is gone or unusable, or with errno EAGAIN
 * and one line on standard error when the wait ran out (the line says so when the set was
 * never operated on, the mark of a set whose creator died before giving it its value). */
int semaphore_p_timed(int sem_id, long wait_ms);

/* Releases the lock (add 1, SEM_UNDO). 0, or -1 after perror("V operation"). */
int semaphore_v(int sem_id);

#ifdef __cplusplus
}
#endif

#endif
