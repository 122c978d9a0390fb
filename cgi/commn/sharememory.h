/* The state store: the three shared records, their handles, and every function that reads or
 * writes them. Shared with the receiver daemon, so it compiles as C as well as C++. */
#ifndef COMMN_SHAREMEMORY_H
#define COMMN_SHAREMEMORY_H

#include <stdint.h>

#include "zarvel.h"
#include "gnss.h"
#include "storage.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Keys and sizes bind the receiver daemon and every endpoint alike: a segment that exists
 * smaller than its size here cannot be attached. */
#define CONFIG_SEM_KEY  3000
#define CONFIG_SHM_KEY  3456
#define MONITOR_SEM_KEY 4000
#define MONITOR_SHM_KEY 4567
#define GNSS_SEM_KEY    2000
#define GNSS_SHM_KEY    2345
#define SHARE_IPC_FLAGS 01666 /* IPC_CREAT | 0666 */

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

/* The records, as the whole-record lock names them. */
typedef enum { SHARE_CONFIG = 0, SHARE_MONITOR = 1, SHARE_GNSS = 2 } SHARE_RECORD;

/* Every lock of the store is taken with a bounded wait (LOCK_WAIT_MS, the store's build
 * setting). A lock that cannot be taken in that time, or whose set is gone, is lost: the call
 * that wanted it does nothing and reports the failure, and the loss is counted. */

/* Takes a record's lock for work that needs several fields in one hold, and returns the
 * record's address; null when the lock was lost (nothing is held then). Each address returned
 * is followed by one UnlockShareRecord of the same record. */
void *LockShareRecord(SHARE_RECORD record);
/* 0, or -1 after perror("V operation"). */
int UnlockShareRecord(SHARE_RECORD record);

/* How many locks this process has lost since it started; a caller compares it before and
 * after its work. */
unsigned ShareMemoryLocksLost(void);

/* Configuration entries: each names one field of ReceiverConfig. The numbering is shared with
 * the receiver daemon and follows neither the field order nor any other enumeration. */
typedef enum {
    ENTRY_SN = 0,
    ENTRY_HWV = 1,
    ENTRY_SWV = 2,
    ENTRY_RTKV = 3,
    ENTRY_BBV = 4,
    ENTRY_BOOTV = 5,
    ENTRY_RDV = 6,
    ENTRY_DPV = 7,
    ENTRY_SWD = 8,
    ENTRY_MAC = 9,
    ENTRY_IP = 10,
    ENTRY_NETMASK = 11,
    ENTRY_GATEWAY = 12,
    ENTRY_DNS1 = 13,
    ENTRY_DNS2 = 14,
    ENTRY_HTTP_PORT = 15,
    ENTRY_FTP_PORT = 16,
    ENTRY_DN = 17,
    ENTRY_AUTO_IP = 18,
    /* 19 and 20 are reserved. */
    ENTRY_STATION_MODE = 21, /* names no field */
    ENTRY_STATION_ID = 22,
    ENTRY_WORK_MODE = 23,
    ENTRY_PPS_ENABLE = 24,
    ENTRY_EVENT_ENABLE = 25,
    ENTRY_PDOP_LIMIT = 26,
    ENTRY_MASK_ANGLE = 27,
    ENTRY_FREQ_TRACK = 28, /* names no field */
    ENTRY_MOOTH_FLAG = 29,
    ENTRY_GPS_ENABLE = 30,
    ENTRY_BD_ENABLE = 31,
    ENTRY_GLO_ENABLE = 32,
    ENTRY_GAL_ENABLE = 33,
    ENTRY_QZSS_ENABLE = 34,
    ENTRY_CALL_CONFIG = 35,
    ENTRY_STATION_POS = 36,
    ENTRY_RHI = 37,
    ENTRY_ANTENNA_INFO = 38,
    ENTRY_REC1_CONFIG = 39,
    ENTRY_REC2_CONFIG = 40,
    ENTRY_REC1_PFN = 41,
    ENTRY_REC2_PFN = 42,
    ENTRY_SP1_CONFIG = 43,
    ENTRY_SP2_CONFIG = 44,
    ENTRY_TCP1_CONFIG = 45,
    ENTRY_TCP2_CONFIG = 46,
    ENTRY_NC_CONFIG = 47,
    ENTRY_NS_CONFIG =
        48, /* names no field: the servers are ENTRY_NS1_CONFIG and ENTRY_NS2_CONFIG */
    ENTRY_FTP1_CONFIG = 49,
    ENTRY_FTP2_CONFIG = 50,
    ENTRY_MA_CONFIG = 51,
    ENTRY_WLAN_CONFIG = 52,
    ENTRY_RADIO_CONFIG = 53,
    ENTRY_RADIO_MESSAGE = 54,
    ENTRY_BT_CONFIG = 55,
    ENTRY_DDNS_CONFIG = 56,
    ENTRY_PORTVIA_CONFIG = 57,
    ENTRY_KT5RW_CONFIG = 58,
    ENTRY_TUNNEX_CONFIG = 59,
    ENTRY_USER = 60,
    ENTRY_PAWD = 61,
    ENTRY_INS = 62,
    ENTRY_NCASTER_CONFIG = 63,
    ENTRY_JT808_CONFIG = 64,
    ENTRY_RTKM = 65,
    ENTRY_RDM = 66,
    ENTRY_NS1_CONFIG = 67,
    ENTRY_NS2_CONFIG = 68,
    ENTRY_CLOUD1_CONFIG = 69,
    ENTRY_CLOUD2_CONFIG = 70,
    ENTRY_PPP_CONFIG = 71
} CONFIG_ENTRY;

/* Monitor entries: each names one field of ReceiverMonitor. */
typedef enum {
    ENTRY_NULL = 0,
    ENTRY_TEMP = 1,
    ENTRY_ALL_SPACE = 2,
    ENTRY_FREE_SPACE = 3,
    ENTRY_TCP1_LINK = 4,
    ENTRY_TCP2_LINK = 5,
    ENTRY_REC1_STATE = 6,
    ENTRY_REC2_STATE = 7,
    ENTRY_CUR_POS = 8,
    ENTRY_STATION_STATE = 9,
    ENTRY_ROVER_STATE = 10, /* names no field */
    ENTRY_NC_STATE = 11,
    ENTRY_GET_NST = 12,
    ENTRY_NST = 13,
    ENTRY_NS1_STATE = 14,
    ENTRY_NS2_STATE = 15,
    ENTRY_CALL_INFO = 16,
    ENTRY_CALL_STATE = 17,
    ENTRY_CONFIG_ENTRY = 18,
    ENTRY_DSPARA_UPDATE = 19,
    /* 20 is reserved. */
    ENTRY_SID_STATE = 21,
    ENTRY_WEB_STATE = 22,
    ENTRY_FW_STATE = 23,
    ENTRY_MATCH_AT = 24,
    ENTRY_ANT_TYPE = 25,
    ENTRY_GNSS_VERS = 26,
    ENTRY_RUNTIME = 27,
    ENTRY_DELFILE = 28,
    ENTRY_VOLTAGE = 29,
    ENTRY_UPGRADE_PROGRESS = 30,    /* through GetMonitorUpgradeProgress only */
    ENTRY_HAS_READEN_PROGRESS = 31, /* through GetMonitorHasReadenProgress only */
    ENTRY_K418A_SATNUM = 32,
    ENTRY_PPP_STATE = 33
} MONITOR_ENTRY;

/* Operations posted into the mailbox for the receiver daemon. */
typedef enum {
    ENTRY_NULL_OP = 0,
    ENTRY_IP_OP = 1,
    ENTRY_NETMASK_OP = 2,
    ENTRY_GATEWAY_OP = 3,
    ENTRY_DNS1_OP = 4,
    ENTRY_DNS2_OP = 5,
    ENTRY_HPORT_OP = 6,
    ENTRY_FPORT_OP = 7,
    ENTRY_DN_OP = 8,
    ENTRY_DHCP_OP = 9,
    /* 10 is reserved. */
    ENTRY_SID_OP = 11,
    ENTRY_WMODE_OP = 12,
    ENTRY_PPS_OP = 13,
    ENTRY_EVENT_OP = 14,
    ENTRY_MANGLE_OP = 15,
    ENTRY_MOOTH_OP = 16,
    ENTRY_GPSE_OP = 17,
    ENTRY_BDE_OP = 18,
    ENTRY_GLOE_OP = 19,
    ENTRY_GALE_OP = 20,
    ENTRY_QZSS_OP = 21,
    ENTRY_CALL_OP = 22,
    ENTRY_SPOS_OP = 23,
    ENTRY_RHI_OP = 24,
    ENTRY_ANT_OP = 25,
    ENTRY_REC1_OP = 26,
    ENTRY_REC2_OP = 27,
    ENTRY_SP1_OP = 28,
    ENTRY_SP2_OP = 29,
    ENTRY_TCP1_OP = 30,
    ENTRY_TCP2_OP = 31,
    ENTRY_FTP1_OP = 32,
    ENTRY_FTP2_OP = 33,
    ENTRY_MALARM_OP = 34,
    ENTRY_STATION_OP = 35,
    ENTRY_FORMAT_OP = 36,
    ENTRY_CLEANEPH_OP = 37,
    ENTRY_RESTORE_OP = 38,
    ENTRY_RESTART_OP = 39,
    ENTRY_SHUTDOWN_OP = 40,
    ENTRY_REC1_STATE_OP = 41,
    ENTRY_REC2_STATE_OP = 42,
    ENTRY_GPOS_OP = 43,
    ENTRY_GNST_OP = 44,
    ENTRY_UPDATEF_OP = 45,
    ENTRY_UPDATEP_OP = 46,
    ENTRY_UPDATEG_OP = 47,
    ENTRY_CONFIG_OP = 48,
    ENTRY_OP_TYPE = 49,  /* never posted: the monitor getter reads op.OperateEntry with it */
    ENTRY_OP_STATE = 50, /* never posted: the monitor getter reads op.OperateState with it */
    ENTRY_OP_SUCCESS = 51,
    ENTRY_OP_FAILED = 52,
    ENTRY_WLAN_OP = 53,
    ENTRY_DELFILE_OP = 54,
    ENTRY_UPDATEW_OP = 55,
    ENTRY_RADIO_OP = 56,
    ENTRY_RESTORE_LIGHTTPD_OP = 57,
    ENTRY_NS_OP = 58,
    ENTRY_NC_OP = 59,
    ENTRY_RADIO_PARA_OP = 60,
    ENTRY_BT_OP = 61,
    ENTRY_DDNS_OP = 62,
    ENTRY_PORTVIA_OP = 63,
    ENTRY_TUNNEX_OP = 64,
    ENTRY_INS_OP = 65,
    ENTRY_CLOUD1_OP = 66,
    ENTRY_CLOUD2_OP = 67,
    ENTRY_NCASTER_OP = 68,
    ENTRY_JT808_OP = 69,
    ENTRY_JT808_AUTHCODE_OP = 70,
    ENTRY_NS1_OP = 71,
    ENTRY_NS2_OP = 72
} OPERATE_ENTRY;

/* States of the mailbox, stored as a signed byte. OP_EXE: an operation is pending or being
 * carried out, and posts wait until the receiver daemon moves the state on. */
typedef enum {
    OP_FAILED = -1,
    OP_COMPLETE = 0,
    OP_ENABLE = 1,
    OP_EXE = 2,
    OP_SUCCESS = 3
} OPERATE_STATE;

/* GNSS entries: each names one field of GNSSInfo. */
typedef enum {
    ENTRY_NMEA = 0,
    ENTRY_K418A = 1,
    ENTRY_TIMEA = 2,
    ENTRY_BESTPOSA = 3,
    ENTRY_PSRDOPA = 4,
    ENTRY_GGA = 5,
    ENTRY_ZDA = 6,
    ENTRY_K418 = 7,
    ENTRY_DOP = 8,
    ENTRY_XYZ = 9,
    ENTRY_K418B = 10,
    ENTRY_BESTPOSB = 11,
    ENTRY_TIMEB = 12,
    ENTRY_PSRDOPB = 13,
    ENTRY_ZDA_MSG = 14,
    ENTRY_YBM = 15
} GNSS_ENTRY;

/* The data outputs whose on/off switch GetNetworkTransEnableFlagState reads. */
typedef enum {
    ENTRY_TCP1_SELECT = 0,
    ENTRY_TCP2_SELECT = 1,
    ENTRY_NS_SELECT = 2, /* names no output: reads as 0 */
    ENTRY_BT_SELECT = 3,
    ENTRY_NS1_SELECT = 4,
    ENTRY_NS2_SELECT = 5
} NETWORKTRANS_SELECT;

/* The entry accessors copy one whole field, byte for byte, between the record and para under
 * the record's lock: no terminator is added or looked for, nothing is converted or checked.
 * They return -1 for a null para (the lock is not touched) or a lost lock (nothing is copied),
 * and 0 otherwise, also for a number that names no field, which copies nothing. */

/* Configuration entries 0 to 71 (a CONFIG_ENTRY value); para holds the field's type. Entries
 * 41 and 42 are the 17-byte folder name of a recording channel, in both directions. */
int GetReceiverConfigParaFromShareMemory(uint8_t r_entry, void *para);
int SetReceiverConfigParaToShareMemory(uint8_t w_entry, void *para);

/* One entry of a compare-and-swap: the field must hold exactly `expected` (no check when
 * null) and receives `replacement`, both the field's whole width. */
typedef struct tag_ConfigSwap_s {
    uint8_t entry;
    const void *expected;
    const void *replacement;
} ConfigSwap;

/* In one hold of the configuration lock: when every field with an `expected` holds exactly
 * those bytes, writes every replacement and returns 0; otherwise writes nothing and returns 1.
 * -1 for a null list or replacement, or a lost lock. */
int SwapReceiverConfigParaInShareMemory(const ConfigSwap *swaps, unsigned count);

/* Monitor entries (MONITOR_ENTRY). Both serve 1 to 33 except 10, 20, 30 and 31; entry 28 moves
 * the first 46 of DelFile's 47 bytes. The getter also serves ENTRY_OP_TYPE (49) and
 * ENTRY_OP_STATE (50), the two mailbox bytes as stored; the setter does not, so the mailbox is
 * written only through the functions below. */
int SetMonitorParaToShareMemory(uint8_t w_entry, void *para);
int GetMonitorParaFromShareMemory(uint8_t r_entry, void *para);

/* Recording state of channel n (1 or 2); another n reads 0 and writes nothing. */
uint8_t GetReceiverRecUsrState(uint8_t n);
void SetReceiverRecUsrState(uint8_t n, uint8_t v);

/* The mailbox. SetMonitorOperate writes (op, OP_EXE) whatever the mailbox holds; a post that
 * must not overwrite another one goes through PostMonitorOperate. Setters store the low byte
 * of their argument and return 0, or -1 when the lock was lost. */
int SetMonitorOperate(OPERATE_ENTRY op);
int ClearMonitorOperate(void);       /* entry byte to ENTRY_NULL_OP, state left */
int GetMonitorOperate(pOperate pOP); /* both bytes in one hold; -1 for a null pOP */
int SetMonitorOperateState(OPERATE_STATE state);
OPERATE_STATE GetMonitorOperateState(void);

/* One hold of the monitor lock: unless the state is OP_EXE, writes (op, OP_EXE) and returns 0;
 * otherwise writes nothing and returns 1. -1 when the lock cannot be taken. */
int TryPostMonitorOperate(OPERATE_ENTRY op);

/* Waits, polling a few times a millisecond at most, until the state is not OP_EXE: 0 then, -1
 * when the lock fails or MAILBOX_WAIT_MS (the store's build setting) has passed first. */
int WaitMonitorOperateIdle(void);

/* TryPostMonitorOperate, retried with the same wait while the mailbox is busy: 0 when posted,
 * -1 when the wait gave up and nothing was posted. */
int PostMonitorOperate(OPERATE_ENTRY op);

/* The single-value getters below and elsewhere give 0 when the lock was lost; only
 * ShareMemoryLocksLost tells that apart from a stored 0. */

/* Upgrade progress and its read flag: the getter sets the flag to 1 in the same hold, the
 * setter clears it, so the producer can tell whether its last value was read. */
float GetMonitorUpgradeProgress(void);
int SetMonitorUpgradeProgress(float progress);
int GetMonitorHasReadenProgress(void);

uint8_t GetMonitorK418SatNum(void);
int SetIMUStatus(uint8_t state);
int GetIMUStatus(void);
int SetMasterAntennaSQI(uint8_t sqi);
int GetMasterAntennaSQI(void);
int SetSlaveAntennaSQI(uint8_t sqi);
int GetSlaveAntennaSQI(void);

/* GNSS entries 0 to 15 (GNSS_ENTRY). Texts (0, 1, 4, 14) are written cleared: the field is
 * zeroed, then the text up to its NUL, cut to the field. TIMEA and BESTPOSA (2, 3) are written
 * overlaid: the text is copied over the field's start and an empty text changes nothing. The
 * binary messages (10 to 13) move 6144 bytes, and a write zeroes the field's last byte; records
 * move whole. */
int SetGNSSInfoToShareMemory(uint8_t w_entry, void *info);
int GetGNSSInfoFromShareMemory(uint8_t r_entry, void *info);

/* Stores the free space of the memory card (GetMMCFreeSpace) into ReceiverMonitor.FreeSpace. */
void RefreshReceiverMonitorFreeSpace(void);

/* The switch byte of a data output (NETWORKTRANS_SELECT); 0 for ENTRY_NS_SELECT and others. */
uint8_t GetNetworkTransEnableFlagState(uint8_t entry);

/* Members of recording channel num or n (1 or 2). For any other channel the getters give 0,
 * the setters write nothing and GetReceiverRecConfFolderName gives -1 and leaves folder
 * alone, as it does when the lock was lost. The folder name is copied as its 17 bytes, without
 * a terminator added. */
float GetReceiverRecConfRecInterval(uint8_t num);
uint8_t GetReceiverRecConfFileType(uint8_t num);
int GetReceiverRecConfFolderName(void *folder, uint8_t num);
uint8_t GetReceiverRecConfRecMode(uint8_t n);
void SetReceiverRecConfRecMode(uint8_t n, uint8_t mode);
uint8_t GetReceiverRecConfRecCircularFlag(uint8_t n);
uint32_t GetReceiverRecConfMaxSpace(uint8_t n);
void SetReceiverRecConfFreeSpace(uint8_t n, float size);
float GetReceiverRecConfFreeSpace(uint8_t n);

/* Sample timestamps: store time into the time member of message n of group type (1 NMEA,
 * 2 EPH, 3 RTCM23, 4 RTCM30, 5 RTCM32, 6 CMR, 7 Binex, 8 QX, 9 Weather, 10 Custom; the NTRIP
 * servers and the radio have only 3 to 6 and 10). The TCP block is TCP[1] for
 * ENTRY_TCP2_CONFIG and TCP[0] for any other w_entry; serverIndex counts from 0. A group the
 * block lacks, an n at or beyond the group's size or a serverIndex above 1 writes nothing.
 * All return 0, or -1 when the lock was lost. */
int SetReceiverTCPMsgSampleTimestamp(uint8_t w_entry, uint8_t type, uint16_t n, int32_t time);
int SetReceiverNtripServerMsgSampleTimestamp(uint8_t type, uint16_t n, uint32_t time,
                                             uint8_t serverIndex);
int SetReceiverRadioMsgSampleTimestamp(uint8_t type, uint16_t n, uint32_t time);

#ifdef __cplusplus
}
#endif

#endif
