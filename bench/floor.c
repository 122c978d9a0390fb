/* The floor of the benchmark: fillmeter's work in the fewest lines of C, with no frame and no
 * store around it. It attaches the three records as every program does (they must exist: it
 * makes none and sets up no lock), reads the upgrade progress under the monitor's lock and
 * marks it read, parses the request and answers with json-c. Whatever a program costs beyond
 * this is the price of the frame and the store. */
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/sem.h>
#include <sys/shm.h>

#include <json-c/json.h>

#include "sharememory.h"

static void *attach(int sem_key, int shm_key, size_t size, int *sem)
{
    int id = shmget(shm_key, size, 0);
    void *record = id == -1 ? (void *)-1 : shmat(id, NULL, 0);
    *sem = semget(sem_key, 1, 0);
    if (record == (void *)-1 || *sem == -1) {
        fputs("attach failed\n", stderr);
        exit(1);
    }
    return record;
}

static void lock(int sem, short change)
{
    struct sembuf op = {0, change, SEM_UNDO};
    semop(sem, &op, 1);
}

int main(void)
{
    int config_sem, monitor_sem, gnss_sem;
    attach(CONFIG_SEM_KEY, CONFIG_SHM_KEY, sizeof(ReceiverConfig), &config_sem);
    ReceiverMonitor *monitor =
        attach(MONITOR_SEM_KEY, MONITOR_SHM_KEY, sizeof(ReceiverMonitor), &monitor_sem);
    attach(GNSS_SEM_KEY, GNSS_SHM_KEY, sizeof(GNSSInfo), &gnss_sem);

    puts("Content-type: application/text;charset=utf-8\n");
    const char *query = getenv("QUERY_STRING");
    json_object *request = query != NULL ? json_tokener_parse(query) : NULL;

    lock(monitor_sem, -1);
    monitor->HasReadenProgress = 1;
    float progress = monitor->UpgradeProgress;
    lock(monitor_sem, 1);

    char text[32];
    snprintf(text, sizeof text, "%.2f", (double)progress);
    json_object *answer = json_object_new_object();
    json_object_object_add(answer, "res", json_object_new_string(text));
    fputs(json_object_to_json_string(answer), stdout);
    json_object_put(answer);
    json_object_put(request);
    return 0;
}
