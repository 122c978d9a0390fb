#include "sharememory.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

#include "semaphore.h"

volatile ShareConfig ZarvelConfig = {nullptr, nullptr, -1, 0};
volatile ShareMonitor ZarvelMonitor = {nullptr, nullptr, -1, 0};
volatile ShareGNSS ZarvelGNSS = {nullptr, nullptr, -1, 0};

namespace {

[[noreturn]] void fail(const char *text, int status)
{
    fputs(text, stderr);
    exit(status);
}

/* Only the process that creates a set may give it its first value: setting it again while
 * another process holds the lock would let two processes into the record at once. A set that
 * another process has just created reads 0 until its creator sets it, so a P on it waits. */
int get_semaphore_set(key_t key)
{
    int sem = semget(key, 1, IPC_CREAT | IPC_EXCL | 0666);
    if (sem != -1) {
        init_semaphore(sem, 1);
        return sem;
    }
    if (errno != EEXIST)
        return -1;
    return semget(key, 1, SHARE_IPC_FLAGS);
}

template <typename Record, typename Handle>
void attach(volatile Handle &handle, key_t sem_key, key_t shm_key)
{
    handle.shm = nullptr;
    handle.para = nullptr;
    handle.shm_id = -1;
    handle.sem = 0;

    int sem = get_semaphore_set(sem_key);
    if (sem == -1)
        fail("semget failed.\n", 1);
    handle.sem = sem;

    int shm_id = shmget(shm_key, sizeof(Record), SHARE_IPC_FLAGS);
    if (shm_id == -1)
        fail("shmget failed\n", 1);
    handle.shm_id = shm_id;

    void *address = shmat(shm_id, nullptr, 0);
    if (address == reinterpret_cast<void *>(-1))
        fail("shmat failed\n", 1);
    handle.shm = address;
    handle.para = static_cast<Record *>(address);
}

void InitConfigShareMemory()
{
    attach<ReceiverConfig>(ZarvelConfig, CONFIG_SEM_KEY, CONFIG_SHM_KEY);
}

void InitMonitorShareMemory()
{
    attach<ReceiverMonitor>(ZarvelMonitor, MONITOR_SEM_KEY, MONITOR_SHM_KEY);
}

void InitGNSSInfoShareMemory()
{
    attach<GNSSInfo>(ZarvelGNSS, GNSS_SEM_KEY, GNSS_SHM_KEY);
}

} // namespace

void InitShareMemory(void)
{
    InitConfigShareMemory();
    InitMonitorShareMemory();
    InitGNSSInfoShareMemory();
}

void DeleteShareMemory(void)
{
    del_semaphore(ZarvelConfig.sem);
    if (shmdt(ZarvelConfig.shm) == -1)
        fail("shmdt failed\n", 1);
    if (shmctl(ZarvelConfig.shm_id, IPC_RMID, nullptr) == -1)
        fail("shmctl(IPC_RMID) failed\n", 1);
    exit(0);
}

/* @@ENTRY_ACCESSORS@@ */
