/* The receiver daemon's side of the store, as small as it can be: attach the three records,
 * take each operation the programs post into the mailbox, act on the setting it announces,
 * and move the mailbox on. C99 against the store's headers and library; docs/integration.md
 * tells how to build it, and the project's tests run it against the programs. */
#define _POSIX_C_SOURCE 200809L

#include <signal.h>
#include <stdio.h>
#include <time.h>

#include "sharememory.h"

static volatile sig_atomic_t stopping = 0;

static void stop(int signal_number)
{
    (void)signal_number;
    stopping = 1;
}

/* Where a real daemon reconfigures the service. The record already holds the new setting. */
static OPERATE_STATE carry_out(unsigned operation)
{
    TUNNEXConfig tunnex;
    switch (operation) {
    case ENTRY_TUNNEX_OP:
        if (GetReceiverConfigParaFromShareMemory(ENTRY_TUNNEX_CONFIG, &tunnex) != 0)
            return OP_FAILED;
        printf("tunnel service A %s\n", tunnex.enable ? "on" : "off");
        return OP_SUCCESS;
    default:
        return OP_SUCCESS;
    }
}

int main(void)
{
    const struct timespec pause = {0, 5 * 1000 * 1000};
    struct sigaction action = {0};
    action.sa_handler = stop;
    sigaction(SIGTERM, &action, NULL);
    sigaction(SIGINT, &action, NULL);

    InitShareMemory();
    SetMonitorUpgradeProgress(0.0f);
    puts("ready");
    fflush(stdout);

    while (!stopping) {
        Operate mailbox;
        /* Both bytes in one hold: a post always writes them together. */
        if (GetMonitorOperate(&mailbox) == 0 && mailbox.OperateState == OP_EXE) {
            printf("op %u\n", (unsigned)mailbox.OperateEntry);
            /* Any state but OP_EXE frees the mailbox for the next post. */
            SetMonitorOperateState(carry_out(mailbox.OperateEntry));
            fflush(stdout);
        }
        nanosleep(&pause, NULL);
    }
    return 0;
}
