#include "sharememory.h"

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/statfs.h>
#include <utility>

#include "debug.h"
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
 * another process has just created reads 0 until its creator sets it, so a P on it waits.
 * Opening an existing set never creates one: a set removed between the two calls is created
 * anew, by the exclusive call, so it always gets its value. */
int get_semaphore_set(key_t key)
{
    constexpr int tries = 8;
    for (int attempt = 0; attempt < tries; ++attempt) {
        int sem = semget(key, 1, IPC_CREAT | IPC_EXCL | 0666);
        if (sem != -1) {
            init_semaphore(sem, 1);
            return sem;
        }
        if (errno != EEXIST)
            return -1;
        sem = semget(key, 1, 0666);
        if (sem != -1 || errno != ENOENT)
            return sem;
    }
    return -1;
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

#ifndef MAILBOX_WAIT_MS
#define MAILBOX_WAIT_MS 20000
#endif
#ifndef LOCK_WAIT_MS
#define LOCK_WAIT_MS 2000
#endif
#ifndef MMC_MOUNT_POINT
#define MMC_MOUNT_POINT "/mnt/mmc/mmcblk0"
#endif

namespace {

constexpr debug_level debug = DEBUG_LEVEL_DEBUG;

// Where a field lies in its record and how many bytes an access moves.
struct Field {
    uint16_t offset;
    uint16_t size;
};

// clang-format off
#define FIELD(Record, member) \
    Field{offsetof(Record, member), sizeof(std::declval<Record &>().member)}
// clang-format on
#define CONFIG(member)  FIELD(ReceiverConfig, member)
#define MONITOR(member) FIELD(ReceiverMonitor, member)

template <size_t count>
constexpr Field field_of(const std::array<Field, count> &fields, unsigned entry)
{
    return entry < count ? fields[entry] : Field{0, 0};
}

template <typename Record> uint8_t *bytes_of(Record &record)
{
    return reinterpret_cast<uint8_t *>(&record);
}

unsigned locks_lost = 0;

// P with the store's bound. A lost lock is counted, so the caller's caller can tell that the
// work was not done even where an accessor has no way to say so.
bool lock(int sem)
{
    if (semaphore_p_timed(sem, LOCK_WAIT_MS) == 0)
        return true;
    ++locks_lost;
    return false;
}

// The one frame of every access: P, the work on the record, V. When P fails the caller does
// not hold the lock, so the record is left alone and no V is made (it would raise the lock to
// 2 and let two processes in).
template <typename Handle, typename Work> bool with_lock(volatile Handle &handle, Work &&work)
{
    int sem = handle.sem;
    if (!lock(sem))
        return false;
    work(*handle.para);
    semaphore_v(sem);
    return true;
}

// A value read under the lock; the value type's zero when the lock cannot be taken.
template <typename Handle, typename Read> auto read_locked(volatile Handle &handle, Read &&read)
{
    decltype(read(*handle.para)) value{};
    with_lock(handle, [&](auto &record) { value = read(record); });
    return value;
}

// The frame of an entry accessor: a null buffer is refused before the lock is touched.
template <typename Handle, typename Work>
int entry_call(volatile Handle &handle, const void *para, Work &&work)
{
    if (para == nullptr)
        return -1;
    return with_lock(handle, work) ? 0 : -1;
}

// A setter's result: 0 when it wrote, -1 when the lock was lost.
template <typename Handle, typename Work> int write_call(volatile Handle &handle, Work &&work)
{
    return with_lock(handle, work) ? 0 : -1;
}

enum class Copy { out, in };

template <typename Handle, size_t count>
int copy_entry(volatile Handle &handle, const std::array<Field, count> &fields, uint8_t entry,
               void *para, Copy direction)
{
    const Field field = field_of(fields, entry);
    return entry_call(handle, para, [&](auto &record) {
        uint8_t *at = bytes_of(record) + field.offset;
        if (direction == Copy::out)
            memcpy(para, at, field.size);
        else
            memcpy(at, para, field.size);
    });
}

constexpr auto config_fields = [] {
    std::array<Field, ENTRY_PPP_CONFIG + 1> fields{};
    fields[ENTRY_SN] = CONFIG(SerialNum);
    fields[ENTRY_HWV] = CONFIG(HWVersion);
    fields[ENTRY_SWV] = CONFIG(SWVersion);
    fields[ENTRY_RTKV] = CONFIG(RTKVersion);
    fields[ENTRY_BBV] = CONFIG(BBVersion);
    fields[ENTRY_BOOTV] = CONFIG(BOOTVersion);
    fields[ENTRY_RDV] = CONFIG(RDVersion);
    fields[ENTRY_DPV] = CONFIG(DPVersion);
    fields[ENTRY_SWD] = CONFIG(SWDate);
    fields[ENTRY_MAC] = CONFIG(MAC);
    fields[ENTRY_IP] = CONFIG(IP);
    fields[ENTRY_NETMASK] = CONFIG(NetMask);
    fields[ENTRY_GATEWAY] = CONFIG(Gateway);
    fields[ENTRY_DNS1] = CONFIG(DNS1);
    fields[ENTRY_DNS2] = CONFIG(DNS2);
    fields[ENTRY_HTTP_PORT] = CONFIG(HttpPort);
    fields[ENTRY_FTP_PORT] = CONFIG(FtpPort);
    fields[ENTRY_DN] = CONFIG(DeviceName);
    fields[ENTRY_AUTO_IP] = CONFIG(AutoGetIP);
    fields[ENTRY_STATION_ID] = CONFIG(StationID);
    fields[ENTRY_WORK_MODE] = CONFIG(WorkMode);
    fields[ENTRY_PPS_ENABLE] = CONFIG(PPS);
    fields[ENTRY_EVENT_ENABLE] = CONFIG(Event);
    fields[ENTRY_PDOP_LIMIT] = CONFIG(PDOPLimit);
    fields[ENTRY_MASK_ANGLE] = CONFIG(MaskAngle);
    fields[ENTRY_MOOTH_FLAG] = CONFIG(MoothFun);
    fields[ENTRY_GPS_ENABLE] = CONFIG(GPSEnable);
    fields[ENTRY_BD_ENABLE] = CONFIG(BDEnable);
    fields[ENTRY_GLO_ENABLE] = CONFIG(GLOEnable);
    fields[ENTRY_GAL_ENABLE] = CONFIG(GALEnable);
    fields[ENTRY_QZSS_ENABLE] = CONFIG(QZSSEnable);
    fields[ENTRY_CALL_CONFIG] = CONFIG(DataCall_C);
    fields[ENTRY_STATION_POS] = CONFIG(StationPos);
    fields[ENTRY_RHI] = CONFIG(RinexHeader);
    fields[ENTRY_ANTENNA_INFO] = CONFIG(Antenna);
    fields[ENTRY_REC1_CONFIG] = CONFIG(RecConf[0]);
    fields[ENTRY_REC2_CONFIG] = CONFIG(RecConf[1]);
    fields[ENTRY_REC1_PFN] = CONFIG(RecConf[0].RecFolderName);
    fields[ENTRY_REC2_PFN] = CONFIG(RecConf[1].RecFolderName);
    fields[ENTRY_SP1_CONFIG] = CONFIG(COM[0]);
    fields[ENTRY_SP2_CONFIG] = CONFIG(COM[1]);
    fields[ENTRY_TCP1_CONFIG] = CONFIG(TCP[0]);
    fields[ENTRY_TCP2_CONFIG] = CONFIG(TCP[1]);
    fields[ENTRY_NC_CONFIG] = CONFIG(NtripClientUsr);
    fields[ENTRY_FTP1_CONFIG] = CONFIG(FtpPush[0]);
    fields[ENTRY_FTP2_CONFIG] = CONFIG(FtpPush[1]);
    fields[ENTRY_MA_CONFIG] = CONFIG(MailAlarm);
    fields[ENTRY_WLAN_CONFIG] = CONFIG(Wlan);
    fields[ENTRY_RADIO_CONFIG] = CONFIG(Radio);
    fields[ENTRY_RADIO_MESSAGE] = CONFIG(Radio_Msg);
    fields[ENTRY_BT_CONFIG] = CONFIG(BT);
    fields[ENTRY_DDNS_CONFIG] = CONFIG(DDNS);
    fields[ENTRY_PORTVIA_CONFIG] = CONFIG(PORTVIA);
    fields[ENTRY_KT5RW_CONFIG] = CONFIG(KT5RW);
    fields[ENTRY_TUNNEX_CONFIG] = CONFIG(TUNNEX);
    fields[ENTRY_USER] = CONFIG(user);
    fields[ENTRY_PAWD] = CONFIG(pawd);
    fields[ENTRY_INS] = CONFIG(INS);
    fields[ENTRY_NCASTER_CONFIG] = CONFIG(ntripcasterConfig);
    fields[ENTRY_JT808_CONFIG] = CONFIG(jt808Config);
    fields[ENTRY_RTKM] = CONFIG(RTKModel);
    fields[ENTRY_RDM] = CONFIG(RDModel);
    fields[ENTRY_NS1_CONFIG] = CONFIG(NtripServerUsr[0]);
    fields[ENTRY_NS2_CONFIG] = CONFIG(NtripServerUsr[1]);
    fields[ENTRY_CLOUD1_CONFIG] = CONFIG(relayhubConfig[0]);
    fields[ENTRY_CLOUD2_CONFIG] = CONFIG(relayhubConfig[1]);
    fields[ENTRY_PPP_CONFIG] = CONFIG(pppConfig);
    return fields;
}();

// The setter's fields; the getter serves the mailbox bytes besides (below).
constexpr auto monitor_fields = [] {
    std::array<Field, ENTRY_PPP_STATE + 1> fields{};
    fields[ENTRY_TEMP] = MONITOR(Temperature);
    fields[ENTRY_ALL_SPACE] = MONITOR(AllSpace);
    fields[ENTRY_FREE_SPACE] = MONITOR(FreeSpace);
    fields[ENTRY_TCP1_LINK] = MONITOR(TCPLinkState[0]);
    fields[ENTRY_TCP2_LINK] = MONITOR(TCPLinkState[1]);
    fields[ENTRY_REC1_STATE] = MONITOR(RecState[0]);
    fields[ENTRY_REC2_STATE] = MONITOR(RecState[1]);
    fields[ENTRY_CUR_POS] = MONITOR(CurPosition);
    fields[ENTRY_STATION_STATE] = MONITOR(StationState);
    fields[ENTRY_NC_STATE] = MONITOR(NtripClientState);
    fields[ENTRY_GET_NST] = MONITOR(GetSourceAvailable);
    fields[ENTRY_NST] = MONITOR(SourceTable);
    fields[ENTRY_NS1_STATE] = MONITOR(NtripServerState[0]);
    fields[ENTRY_NS2_STATE] = MONITOR(NtripServerState[1]);
    fields[ENTRY_CALL_INFO] = MONITOR(DataCall_I);
    fields[ENTRY_CALL_STATE] = MONITOR(DataCall_I.connect_state);
    fields[ENTRY_CONFIG_ENTRY] = MONITOR(ConfigSave);
    fields[ENTRY_DSPARA_UPDATE] = MONITOR(DSParaUpdate);
    fields[ENTRY_SID_STATE] = MONITOR(StationIDSate);
    fields[ENTRY_WEB_STATE] = MONITOR(WebAvailable);
    fields[ENTRY_FW_STATE] = MONITOR(FirmAvailable);
    fields[ENTRY_MATCH_AT] = MONITOR(MatchAerkind);
    fields[ENTRY_ANT_TYPE] = MONITOR(TempAerkind);
    fields[ENTRY_GNSS_VERS] = MONITOR(OEMversion);
    fields[ENTRY_RUNTIME] = MONITOR(RunTime);
    // The last byte of DelFile is left to the receiver daemon: it stays the text's terminator.
    fields[ENTRY_DELFILE] =
        Field{offsetof(ReceiverMonitor, DelFile), sizeof(ReceiverMonitor::DelFile) - 1};
    fields[ENTRY_VOLTAGE] = MONITOR(Voltage);
    fields[ENTRY_K418A_SATNUM] = MONITOR(k418_satnum);
    fields[ENTRY_PPP_STATE] = MONITOR(pppState);
    return fields;
}();

// Readers may look at the mailbox bytes by number; writers go through the mailbox functions,
// which keep entry and state consistent.
constexpr auto monitor_read_fields = [] {
    std::array<Field, ENTRY_OP_STATE + 1> fields{};
    for (size_t entry = 0; entry < monitor_fields.size(); ++entry)
        fields[entry] = monitor_fields[entry];
    fields[ENTRY_OP_TYPE] = MONITOR(op.OperateEntry);
    fields[ENTRY_OP_STATE] = MONITOR(op.OperateState);
    return fields;
}();

// How a GNSS field is written. Readers copy `count` bytes from the field's start.
using GnssWrite = void (*)(uint8_t *field, const Field &, const void *info);

struct GnssField {
    Field field;
    uint16_t count;
    GnssWrite write;
};

void write_cleared_text(uint8_t *field, const Field &shape, const void *info)
{
    memset(field, 0, shape.size);
    memcpy(field, info, strnlen(static_cast<const char *>(info), shape.size));
}

void write_overlaid_text(uint8_t *field, const Field &shape, const void *info)
{
    memcpy(field, info, strnlen(static_cast<const char *>(info), shape.size));
}

// A binary message is 6144 bytes; the field's extra last byte is kept zero.
void write_binary(uint8_t *field, const Field &shape, const void *info)
{
    memset(field, 0, shape.size);
    memcpy(field, info, shape.size - 1u);
}

void write_record(uint8_t *field, const Field &shape, const void *info)
{
    memcpy(field, info, shape.size);
}

constexpr GnssField gnss(Field field, GnssWrite write)
{
    return GnssField{field, field.size, write};
}

constexpr GnssField gnss_binary(Field field)
{
    return GnssField{field, static_cast<uint16_t>(field.size - 1u), write_binary};
}

#define GNSS(member) FIELD(GNSSInfo, member)

constexpr auto gnss_fields = [] {
    std::array<GnssField, ENTRY_YBM + 1> fields{};
    fields[ENTRY_NMEA] = gnss(GNSS(NMEA), write_cleared_text);
    fields[ENTRY_K418A] = gnss(GNSS(K418A), write_cleared_text);
    fields[ENTRY_TIMEA] = gnss(GNSS(TIMEA), write_overlaid_text);
    fields[ENTRY_BESTPOSA] = gnss(GNSS(BESTPOSA), write_overlaid_text);
    fields[ENTRY_PSRDOPA] = gnss(GNSS(PSRDOPA), write_cleared_text);
    fields[ENTRY_GGA] = gnss(GNSS(GGA), write_record);
    fields[ENTRY_ZDA] = gnss(GNSS(ZDA), write_record);
    fields[ENTRY_K418] = gnss(GNSS(K418), write_record);
    fields[ENTRY_DOP] = gnss(GNSS(DOP), write_record);
    fields[ENTRY_XYZ] = gnss(GNSS(XYZ), write_record);
    fields[ENTRY_K418B] = gnss_binary(GNSS(K418B));
    fields[ENTRY_BESTPOSB] = gnss_binary(GNSS(BESTPOSB));
    fields[ENTRY_TIMEB] = gnss_binary(GNSS(TIMEB));
    fields[ENTRY_PSRDOPB] = gnss_binary(GNSS(PSRDOPB));
    fields[ENTRY_ZDA_MSG] = gnss(GNSS(ZDA_MSG), write_cleared_text);
    fields[ENTRY_YBM] = gnss(GNSS(YBM), write_record);
    return fields;
}();

GnssField gnss_field_of(uint8_t entry)
{
    return entry < gnss_fields.size() ? gnss_fields[entry] : GnssField{};
}

void post(ReceiverMonitor &monitor, OPERATE_ENTRY op)
{
    monitor.op.OperateState = OP_EXE;
    monitor.op.OperateEntry = static_cast<uint8_t>(op);
}

long long monotonic_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// Polls the mailbox until it leaves OP_EXE. The pause lets the receiver daemon, and the other
// waiting processes, have the lock and the processor between polls.
int wait_idle_until(long long deadline_ms)
{
    constexpr long max_pause_ns = 10000000;
    long pause_ns = 1000000;
    for (;;) {
        bool busy = true;
        if (!with_lock(ZarvelMonitor,
                       [&](ReceiverMonitor &m) { busy = m.op.OperateState == OP_EXE; }))
            return -1;
        if (!busy)
            return 0;
        if (monotonic_ms() >= deadline_ms)
            return -1;
        timespec pause{0, pause_ns};
        nanosleep(&pause, nullptr);
        pause_ns = pause_ns * 2 > max_pause_ns ? max_pause_ns : pause_ns * 2;
    }
}

RecFileConfig *recording_channel(ReceiverConfig &config, uint8_t num)
{
    if (num != 1 && num != 2)
        return nullptr;
    return &config.RecConf[num - 1];
}

// A member of recording channel num, read under the lock; zero for another channel.
template <typename Read> auto read_channel(uint8_t num, Read &&read)
{
    using Value = decltype(read(std::declval<RecFileConfig &>()));
    return read_locked(ZarvelConfig, [&](ReceiverConfig &config) {
        RecFileConfig *channel = recording_channel(config, num);
        return channel != nullptr ? read(*channel) : Value{};
    });
}

template <typename Write> void write_channel(uint8_t num, Write &&write)
{
    with_lock(ZarvelConfig, [&](ReceiverConfig &config) {
        RecFileConfig *channel = recording_channel(config, num);
        if (channel != nullptr)
            write(*channel);
    });
}

constexpr auto network_switches = [] {
    std::array<Field, ENTRY_NS2_SELECT + 1> fields{};
    fields[ENTRY_TCP1_SELECT] = CONFIG(TCP[0].TCPDSPara.Switch.Enable);
    fields[ENTRY_TCP2_SELECT] = CONFIG(TCP[1].TCPDSPara.Switch.Enable);
    fields[ENTRY_BT_SELECT] = CONFIG(BT.Enable);
    fields[ENTRY_NS1_SELECT] = CONFIG(NtripServerUsr[0].ServerDSPara.Switch.Enable);
    fields[ENTRY_NS2_SELECT] = CONFIG(NtripServerUsr[1].ServerDSPara.Switch.Enable);
    return fields;
}();

// A message group of a block: where its array of slots begins, and how many slots it has.
struct Group {
    uint16_t offset;
    uint16_t count;
};

// clang-format off
#define GROUP(Block, member) \
    Group{offsetof(Block, member), sizeof(std::declval<Block &>().member) / sizeof(MsgCfgPara)}
// clang-format on

constexpr size_t group_numbers = 11;

constexpr auto trans_groups = [] {
    std::array<Group, group_numbers> groups{};
    groups[1] = GROUP(TransDSPara, NMEA);
    groups[2] = GROUP(TransDSPara, EPH);
    groups[3] = GROUP(TransDSPara, RTCM23);
    groups[4] = GROUP(TransDSPara, RTCM30);
    groups[5] = GROUP(TransDSPara, RTCM32);
    groups[6] = GROUP(TransDSPara, CMR);
    groups[7] = GROUP(TransDSPara, Binex);
    groups[8] = GROUP(TransDSPara, QX);
    groups[9] = GROUP(TransDSPara, Weather);
    groups[10] = GROUP(TransDSPara, Custom);
    return groups;
}();

constexpr auto diff_groups = [] {
    std::array<Group, group_numbers> groups{};
    groups[3] = GROUP(DiffDSPara, RTCM23);
    groups[4] = GROUP(DiffDSPara, RTCM30);
    groups[5] = GROUP(DiffDSPara, RTCM32);
    groups[6] = GROUP(DiffDSPara, CMR);
    groups[10] = GROUP(DiffDSPara, Custom);
    return groups;
}();

// Writes time into slot n of group `type` of the block at block_offset. A slot outside the
// group would be another group's (or another record's) bytes, so it is refused.
int stamp(size_t block_offset, const std::array<Group, group_numbers> &groups, uint8_t type,
          uint16_t n, uint32_t time)
{
    const Group group = type < groups.size() ? groups[type] : Group{0, 0};
    return write_call(ZarvelConfig, [&](ReceiverConfig &config) {
        if (n >= group.count)
            return;
        size_t at =
            block_offset + group.offset + n * sizeof(MsgCfgPara) + offsetof(MsgCfgPara, time);
        memcpy(bytes_of(config) + at, &time, sizeof time);
    });
}

// The lock and the address of a record by its SHARE_RECORD number; no address for another
// number or before InitShareMemory.
struct Held {
    int sem;
    void *para;
};

Held record_of(SHARE_RECORD record)
{
    switch (record) {
    case SHARE_CONFIG:
        return {ZarvelConfig.sem, ZarvelConfig.para};
    case SHARE_MONITOR:
        return {ZarvelMonitor.sem, ZarvelMonitor.para};
    case SHARE_GNSS:
        return {ZarvelGNSS.sem, ZarvelGNSS.para};
    }
    return {-1, nullptr};
}

} // namespace

void *LockShareRecord(SHARE_RECORD record)
{
    const Held held = record_of(record);
    return held.para != nullptr && lock(held.sem) ? held.para : nullptr;
}

int UnlockShareRecord(SHARE_RECORD record)
{
    const Held held = record_of(record);
    if (held.para == nullptr)
        return -1;
    return semaphore_v(held.sem);
}

unsigned ShareMemoryLocksLost(void)
{
    return locks_lost;
}

int GetReceiverConfigParaFromShareMemory(uint8_t r_entry, void *para)
{
    return copy_entry(ZarvelConfig, config_fields, r_entry, para, Copy::out);
}

int SetReceiverConfigParaToShareMemory(uint8_t w_entry, void *para)
{
    return copy_entry(ZarvelConfig, config_fields, w_entry, para, Copy::in);
}

int SwapReceiverConfigParaInShareMemory(const ConfigSwap *swaps, unsigned count)
{
    if (swaps == nullptr)
        return -1;
    for (unsigned i = 0; i < count; ++i)
        if (swaps[i].replacement == nullptr)
            return -1;
    int result = -1;
    with_lock(ZarvelConfig, [&](ReceiverConfig &config) {
        uint8_t *record = bytes_of(config);
        for (unsigned i = 0; i < count; ++i) {
            const Field field = field_of(config_fields, swaps[i].entry);
            if (swaps[i].expected != nullptr &&
                memcmp(record + field.offset, swaps[i].expected, field.size) != 0) {
                result = 1;
                return;
            }
        }
        for (unsigned i = 0; i < count; ++i) {
            const Field field = field_of(config_fields, swaps[i].entry);
            memcpy(record + field.offset, swaps[i].replacement, field.size);
        }
        result = 0;
    });
    return result;
}

int SetMonitorParaToShareMemory(uint8_t w_entry, void *para)
{
    return copy_entry(ZarvelMonitor, monitor_fields, w_entry, para, Copy::in);
}

int GetMonitorParaFromShareMemory(uint8_t r_entry, void *para)
{
    return copy_entry(ZarvelMonitor, monitor_read_fields, r_entry, para, Copy::out);
}

uint8_t GetReceiverRecUsrState(uint8_t n)
{
    return read_locked(ZarvelMonitor, [&](ReceiverMonitor &m) -> uint8_t {
        return n == 1 || n == 2 ? m.RecState[n - 1] : 0;
    });
}

void SetReceiverRecUsrState(uint8_t n, uint8_t v)
{
    with_lock(ZarvelMonitor, [&](ReceiverMonitor &m) {
        if (n == 1 || n == 2)
            m.RecState[n - 1] = v;
    });
}

int SetMonitorOperate(OPERATE_ENTRY op)
{
    return write_call(ZarvelMonitor, [&](ReceiverMonitor &m) { post(m, op); });
}

int ClearMonitorOperate(void)
{
    return write_call(ZarvelMonitor, [](ReceiverMonitor &m) { m.op.OperateEntry = ENTRY_NULL_OP; });
}

int GetMonitorOperate(pOperate pOP)
{
    return entry_call(ZarvelMonitor, pOP, [&](ReceiverMonitor &m) {
        pOP->OperateEntry = m.op.OperateEntry;
        pOP->OperateState = m.op.OperateState;
    });
}

int SetMonitorOperateState(OPERATE_STATE state)
{
    return write_call(ZarvelMonitor,
                      [&](ReceiverMonitor &m) { m.op.OperateState = static_cast<int8_t>(state); });
}

OPERATE_STATE GetMonitorOperateState(void)
{
    return static_cast<OPERATE_STATE>(
        read_locked(ZarvelMonitor, [](ReceiverMonitor &m) { return int{m.op.OperateState}; }));
}

int TryPostMonitorOperate(OPERATE_ENTRY op)
{
    int result = -1;
    with_lock(ZarvelMonitor, [&](ReceiverMonitor &m) {
        if (m.op.OperateState == OP_EXE) {
            result = 1;
            return;
        }
        post(m, op);
        result = 0;
    });
    return result;
}

int WaitMonitorOperateIdle(void)
{
    return wait_idle_until(monotonic_ms() + MAILBOX_WAIT_MS);
}

// One bound for the whole post: losing the mailbox to another poster does not restart it.
int PostMonitorOperate(OPERATE_ENTRY op)
{
    const long long deadline_ms = monotonic_ms() + MAILBOX_WAIT_MS;
    for (;;) {
        int result = TryPostMonitorOperate(op);
        if (result != 1)
            return result;
        if (wait_idle_until(deadline_ms) == -1)
            return -1;
    }
}

float GetMonitorUpgradeProgress(void)
{
    return read_locked(ZarvelMonitor, [](ReceiverMonitor &m) {
        m.HasReadenProgress = 1;
        return m.UpgradeProgress;
    });
}

int SetMonitorUpgradeProgress(float progress)
{
    return write_call(ZarvelMonitor, [&](ReceiverMonitor &m) {
        m.UpgradeProgress = progress;
        m.HasReadenProgress = 0;
    });
}

int GetMonitorHasReadenProgress(void)
{
    return read_locked(ZarvelMonitor, [](ReceiverMonitor &m) { return int{m.HasReadenProgress}; });
}

uint8_t GetMonitorK418SatNum(void)
{
    return read_locked(ZarvelMonitor, [](ReceiverMonitor &m) { return m.k418_satnum; });
}

int SetIMUStatus(uint8_t state)
{
    return write_call(ZarvelMonitor, [&](ReceiverMonitor &m) { m.IMUState = state; });
}

int GetIMUStatus(void)
{
    return read_locked(ZarvelMonitor, [](ReceiverMonitor &m) { return int{m.IMUState}; });
}

int SetMasterAntennaSQI(uint8_t sqi)
{
    return write_call(ZarvelMonitor, [&](ReceiverMonitor &m) { m.Ant1SQI = sqi; });
}

int GetMasterAntennaSQI(void)
{
    return read_locked(ZarvelMonitor, [](ReceiverMonitor &m) { return int{m.Ant1SQI}; });
}

int SetSlaveAntennaSQI(uint8_t sqi)
{
    return write_call(ZarvelMonitor, [&](ReceiverMonitor &m) { m.Ant2SQI = sqi; });
}

int GetSlaveAntennaSQI(void)
{
    return read_locked(ZarvelMonitor, [](ReceiverMonitor &m) { return int{m.Ant2SQI}; });
}

int SetGNSSInfoToShareMemory(uint8_t w_entry, void *info)
{
    const GnssField entry = gnss_field_of(w_entry);
    return entry_call(ZarvelGNSS, info, [&](GNSSInfo &record) {
        if (entry.write != nullptr)
            entry.write(bytes_of(record) + entry.field.offset, entry.field, info);
    });
}

int GetGNSSInfoFromShareMemory(uint8_t r_entry, void *info)
{
    const GnssField entry = gnss_field_of(r_entry);
    return entry_call(ZarvelGNSS, info, [&](GNSSInfo &record) {
        memcpy(info, bytes_of(record) + entry.field.offset, entry.count);
    });
}

float GetMMCFreeSpace(const char *mountpoint)
{
    if (mountpoint == nullptr)
        return 0;
    struct statfs fs;
    if (statfs(mountpoint, &fs) != 0) {
        perror("statfs failed\n");
        return 0;
    }
    // Whole units of 1024 blocks times whole KiB per block, in 32 bits, as the monitor record
    // has always counted it.
    const uint32_t kilo_blocks = static_cast<uint32_t>(fs.f_bavail >> 10);
    const uint32_t kib_per_block = static_cast<uint32_t>(fs.f_bsize / 1024);
    return static_cast<float>(kilo_blocks * kib_per_block);
}

void RefreshReceiverMonitorFreeSpace(void)
{
    float free_space = GetMMCFreeSpace(MMC_MOUNT_POINT);
    SetMonitorParaToShareMemory(ENTRY_FREE_SPACE, &free_space);
}

uint8_t GetNetworkTransEnableFlagState(uint8_t entry)
{
    const Field field = field_of(network_switches, entry);
    return read_locked(ZarvelConfig, [&](ReceiverConfig &config) -> uint8_t {
        return field.size != 0 ? bytes_of(config)[field.offset] : 0;
    });
}

float GetReceiverRecConfRecInterval(uint8_t num)
{
    return read_channel(num, [](RecFileConfig &channel) { return channel.RecInterval; });
}

uint8_t GetReceiverRecConfFileType(uint8_t num)
{
    return read_channel(num, [](RecFileConfig &channel) { return channel.FileType; });
}

int GetReceiverRecConfFolderName(void *folder, uint8_t num)
{
    if (num != 1 && num != 2)
        return -1;
    uint8_t name[sizeof(RecFileConfig::RecFolderName) + 1] = {};
    if (!with_lock(ZarvelConfig, [&](ReceiverConfig &config) {
            memcpy(name, config.RecConf[num - 1].RecFolderName,
                   sizeof(RecFileConfig::RecFolderName));
        }))
        return -1;
    // Traced from the copy, after the lock is released: a slow output must not hold up the
    // receiver daemon. Standard output is a program's answer, so the trace goes to standard
    // error.
    if (debug >= DEBUG_LEVEL_DEBUG && num == 1)
        fprintf(stderr, "\x1b[0m[%s:%d]\x1b[0m \"folder name:%s\"\r\n", __func__, __LINE__,
                reinterpret_cast<const char *>(name));
    memcpy(folder, name, sizeof(RecFileConfig::RecFolderName));
    return 0;
}

uint8_t GetReceiverRecConfRecMode(uint8_t n)
{
    return read_channel(n, [](RecFileConfig &channel) { return channel.RecMode; });
}

void SetReceiverRecConfRecMode(uint8_t n, uint8_t mode)
{
    write_channel(n, [&](RecFileConfig &channel) { channel.RecMode = mode; });
}

uint8_t GetReceiverRecConfRecCircularFlag(uint8_t n)
{
    return read_channel(n, [](RecFileConfig &channel) { return channel.RecCircular; });
}

uint32_t GetReceiverRecConfMaxSpace(uint8_t n)
{
    return read_channel(n, [](RecFileConfig &channel) { return channel.RecMaxSpace; });
}

void SetReceiverRecConfFreeSpace(uint8_t n, float size)
{
    write_channel(n, [&](RecFileConfig &channel) { channel.RecFreeSpace = size; });
}

float GetReceiverRecConfFreeSpace(uint8_t n)
{
    return read_channel(n, [](RecFileConfig &channel) { return channel.RecFreeSpace; });
}

int SetReceiverTCPMsgSampleTimestamp(uint8_t w_entry, uint8_t type, uint16_t n, int32_t time)
{
    const size_t block = w_entry == ENTRY_TCP2_CONFIG ? offsetof(ReceiverConfig, TCP[1].TCPDSPara)
                                                      : offsetof(ReceiverConfig, TCP[0].TCPDSPara);
    return stamp(block, trans_groups, type, n, static_cast<uint32_t>(time));
}

int SetReceiverNtripServerMsgSampleTimestamp(uint8_t type, uint16_t n, uint32_t time,
                                             uint8_t serverIndex)
{
    constexpr size_t blocks[] = {offsetof(ReceiverConfig, NtripServerUsr[0].ServerDSPara),
                                 offsetof(ReceiverConfig, NtripServerUsr[1].ServerDSPara)};
    if (serverIndex >= sizeof blocks / sizeof blocks[0])
        return 0;
    return stamp(blocks[serverIndex], diff_groups, type, n, time);
}

int SetReceiverRadioMsgSampleTimestamp(uint8_t type, uint16_t n, uint32_t time)
{
    return stamp(offsetof(ReceiverConfig, Radio.RadioDSPara), diff_groups, type, n, time);
}
