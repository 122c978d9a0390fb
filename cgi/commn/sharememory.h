/* The state store: the three shared records, their handles, and every function that reads or
 * writes them. Shared with the receiver daemon, so it compiles as C as well as C++. */
#ifndef COMMN_SHAREMEMORY_H
#define COMMN_SHAREMEMORY_H

#include <stdint.h>

#include "zarvel.h"
#include "gnss.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Keys and sizes bind the receiver daemon and every endpoint alike: a segment that exists
 * smaller than its size here cannot be attached. */
#define CONFIG_SEM_KEY   3000
#define CONFIG_SHM_KEY   3456
#define MONITOR_SEM_KEY  4000
#define MONITOR_SHM_KEY  4567
#define GNSS_SEM_KEY     2000
#define GNSS_SHM_KEY     2345
#define SHARE_IPC_FLAGS  01666 /* IPC_CREAT | 0666 */

typedef struct tag_ShareMemoryConfig_s {
    void *shm;
    ReceiverConfig *para;
    int shm_id;
    int sem;
} ShareConfig;

typedef struct tag_ShareMemoryMonitor_s {
    void *shm;
    ReceiverMonitor *para;
    int shm_id;
    int sem;
} ShareMonitor;

typedef struct tag_ShareGNSS_s {
    void *shm;
    GNSSInfo *para;
    int shm_id;
    int sem;
} ShareGNSS;

/* One handle of each per process, written only by InitShareMemory. */
extern volatile ShareConfig ZarvelConfig;
extern volatile ShareMonitor ZarvelMonitor;
extern volatile ShareGNSS ZarvelGNSS;

/* Attaches configuration, monitor and GNSS, in that order. Returns only when all three are
 * attached; otherwise writes "semget failed.\n", "shmget failed\n" or "shmat failed\n" to
 * standard error and exits with status 1. The creator of a semaphore set sets it to 1. */
void InitShareMemory(void);

/* Removes the configuration semaphore set and segment, then exits with status 0 (status 1
 * after "shmdt failed\n" or "shmctl(IPC_RMID) failed\n"). Monitor and GNSS are left alone. */
void DeleteShareMemory(void);

/* @@ENTRY_ACCESSORS@@ */

#ifdef __cplusplus
}
#endif

#endif
