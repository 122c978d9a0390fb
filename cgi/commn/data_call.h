/* The mobile data call: its settings in the configuration record, its live state in the monitor
 * record. */
#ifndef COMMN_DATA_CALL_H
#define COMMN_DATA_CALL_H

#include <stdint.h>

#include "record_check.h"

typedef struct tag_DataCallConfig_s {
    char apn[33];
    char uname[33];
    char upwd[33];
    uint8_t enable;
    uint8_t checkOpt;
    char checkAddr[33];
} DataCallConfig;

typedef struct tag_DataCallInfo_s {
    int32_t csq;
    char imei[128];
    char model[128];
    char iccid[128];
    uint8_t sim_state;
    uint8_t connect_state;
} DataCallInfo;

RECORD_SIZE(DataCallConfig, 134);
RECORD_ALIGN(DataCallConfig, 1);
RECORD_AT(DataCallConfig, apn, 0);
RECORD_AT(DataCallConfig, uname, 33);
RECORD_AT(DataCallConfig, upwd, 66);
RECORD_AT(DataCallConfig, enable, 99);
RECORD_AT(DataCallConfig, checkOpt, 100);
RECORD_AT(DataCallConfig, checkAddr, 101);

RECORD_SIZE(DataCallInfo, 392);
RECORD_ALIGN(DataCallInfo, 4);
RECORD_AT(DataCallInfo, csq, 0);
RECORD_AT(DataCallInfo, imei, 4);
RECORD_AT(DataCallInfo, model, 132);
RECORD_AT(DataCallInfo, iccid, 260);
RECORD_AT(DataCallInfo, sim_state, 388);
RECORD_AT(DataCallInfo, connect_state, 389);

#endif
