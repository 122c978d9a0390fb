// A stand-in for the receiver daemon, for the demo and the tests: it attaches the records,
// carries out posted operations by logging them, and can keep the status values moving.
//
//   receiver-standin [--delay-ms N] [--result success|failed] [--demo] [--login-file PATH]
//
// --login-file: keeps PATH, the web server's user file, in step with the stored login, as the
// daemon does when the web login is on; a record without a user name first gets admin/admin.
//
// For every operation it takes it prints "op <number> <bytes>": the bytes (hex) of the
// setting the operation announces, as the stand-in found them, or "-" for other operations.
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "login_file.h"
#include "sharememory.h"

namespace {

volatile sig_atomic_t stopping = 0;

void on_signal(int)
{
    stopping = 1;
}

struct Announced {
    OPERATE_ENTRY operation;
    CONFIG_ENTRY entry;
    unsigned size;
};

const Announced announced[] = {
    {ENTRY_TUNNEX_OP, ENTRY_TUNNEX_CONFIG, sizeof(TUNNEXConfig)},
    {ENTRY_DDNS_OP, ENTRY_DDNS_CONFIG, sizeof(DDNSConfig)},
    {ENTRY_PORTVIA_OP, ENTRY_PORTVIA_CONFIG, sizeof(PORTVIAConfig)},
    {ENTRY_INS_OP, ENTRY_INS, sizeof(INSConfig)},
    {ENTRY_SID_OP, ENTRY_STATION_ID, sizeof(ReceiverConfig::StationID)},
};

void log_operation(unsigned operation)
{
    unsigned char field[256];
    printf("op %u ", operation);
    const Announced *found = nullptr;
    for (const Announced &item : announced)
        if (item.operation == operation)
            found = &item;
    if (found == nullptr) {
        printf("-\n");
    } else {
        GetReceiverConfigParaFromShareMemory(found->entry, field);
        for (unsigned i = 0; i < found->size; ++i)
            printf("%02x", field[i]);
        printf("\n");
    }
    fflush(stdout);
}

void pause_ms(long ms)
{
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) == -1 && !stopping) {
    }
}

// Lively values for the demo page: an upgrade ramp, two signal qualities, an IMU state.
void publish_demo_values(unsigned tick)
{
    SetMonitorUpgradeProgress(static_cast<float>(tick % 201) / 2.0f);
    SetMasterAntennaSQI(static_cast<uint8_t>(70 + 25 * std::sin(tick / 10.0)));
    SetSlaveAntennaSQI(static_cast<uint8_t>(60 + 30 * std::cos(tick / 13.0)));
    SetIMUStatus(static_cast<uint8_t>((tick / 50) % 4));
}

} // namespace

int main(int argc, char **argv)
{
    long delay_ms = 0;
    OPERATE_STATE result = OP_SUCCESS;
    bool demo = false;
    const char *login_file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--delay-ms") == 0 && i + 1 < argc) {
            delay_ms = strtol(argv[++i], nullptr, 10);
        } else if (strcmp(argv[i], "--result") == 0 && i + 1 < argc) {
            result = strcmp(argv[++i], "failed") == 0 ? OP_FAILED : OP_SUCCESS;
        } else if (strcmp(argv[i], "--demo") == 0) {
            demo = true;
        } else if (strcmp(argv[i], "--login-file") == 0 && i + 1 < argc) {
            login_file = argv[++i];
        } else {
            fprintf(stderr,
                    "usage: %s [--delay-ms N] [--result success|failed] [--demo] "
                    "[--login-file PATH]\n",
                    argv[0]);
            return 2;
        }
    }

    signal(SIGTERM, on_signal);
    signal(SIGINT, on_signal);
    InitShareMemory();
    if (login_file != nullptr && !(seed_login("admin", "admin") && keep_login_file(login_file))) {
        fprintf(stderr, "cannot write the login to %s\n", login_file);
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    const long poll_ms = 2;
    unsigned tick = 0;
    for (long since_publish = 0; !stopping; since_publish += poll_ms) {
        Operate mailbox;
        GetMonitorOperate(&mailbox);
        if (mailbox.OperateState == OP_EXE) {
            log_operation(mailbox.OperateEntry);
            pause_ms(delay_ms);
            SetMonitorOperateState(result);
        }
        if (since_publish >= 200) {
            if (demo)
                publish_demo_values(tick++);
            if (login_file != nullptr)
                keep_login_file(login_file);
            since_publish = 0;
        }
        pause_ms(poll_ms);
    }
    return 0;
}
