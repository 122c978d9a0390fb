/* The message configuration blocks: what a data path sends, as one array of message slots per
 * message group. */
#ifndef COMMN_SAMPLE_H
#define COMMN_SAMPLE_H

#include <stdint.h>

#include "record_check.h"

typedef struct tag_MsgSwitchCtrl_s {
    uint8_t Enable;
    uint8_t Type;
} MsgSwitchPara;

typedef struct tag_MsgCfgPara_s {
    uint16_t MsgID;
    int8_t Interval;
    uint32_t time;
    uint8_t Available;
} MsgCfgPara;

typedef struct tag_TransDataStreamPara_s {
    MsgSwitchPara Switch;
    MsgCfgPara NMEA[16];
    MsgCfgPara EPH[12];
    MsgCfgPara RTCM23[20];
    MsgCfgPara RTCM30[20];
    MsgCfgPara RTCM32[20];
    MsgCfgPara CMR[8];
    MsgCfgPara Binex[12];
    MsgCfgPara QX[12];
    MsgCfgPara Weather[6];
    MsgCfgPara Custom[12];
    MsgCfgPara RTCM2V518[20];
} TransDSPara;

typedef struct tag_DiffDataStreamPara_s {
    MsgSwitchPara Switch;
    MsgCfgPara RTCM23[20];
    MsgCfgPara RTCM30[20];
    MsgCfgPara RTCM32[20];
    MsgCfgPara CMR[8];
    MsgCfgPara Custom[12];
} DiffDSPara;

typedef struct tag_RecordDataStreamPara_s {
    MsgSwitchPara Switch;
    MsgCfgPara NMEA[16];
    MsgCfgPara EPH[12];
    MsgCfgPara Custom[12];
} RecordDSPara;

typedef struct tag_BTDataStreamPara_s {
    MsgSwitchPara Switch;
    MsgCfgPara NMEA[16];
} BTDSPara;

typedef struct tag_SysDataStreamPara_s {
    MsgCfgPara System[10];
} SysDSPara;

RECORD_SIZE(MsgSwitchPara, 2);
RECORD_ALIGN(MsgSwitchPara, 1);
RECORD_AT(MsgSwitchPara, Enable, 0);
RECORD_AT(MsgSwitchPara, Type, 1);

RECORD_SIZE(MsgCfgPara, 12);
RECORD_ALIGN(MsgCfgPara, 4);
RECORD_AT(MsgCfgPara, MsgID, 0);
RECORD_AT(MsgCfgPara, Interval, 2);
RECORD_AT(MsgCfgPara, time, 4);
RECORD_AT(MsgCfgPara, Available, 8);

RECORD_SIZE(TransDSPara, 1900);
RECORD_ALIGN(TransDSPara, 4);
RECORD_AT(TransDSPara, Switch, 0);
RECORD_AT(TransDSPara, NMEA, 4);
RECORD_AT(TransDSPara, EPH, 196);
RECORD_AT(TransDSPara, RTCM23, 340);
RECORD_AT(TransDSPara, RTCM30, 580);
RECORD_AT(TransDSPara, RTCM32, 820);
RECORD_AT(TransDSPara, CMR, 1060);
RECORD_AT(TransDSPara, Binex, 1156);
RECORD_AT(TransDSPara, QX, 1300);
RECORD_AT(TransDSPara, Weather, 1444);
RECORD_AT(TransDSPara, Custom, 1516);
RECORD_AT(TransDSPara, RTCM2V518, 1660);

RECORD_SIZE(DiffDSPara, 964);
RECORD_ALIGN(DiffDSPara, 4);
RECORD_AT(DiffDSPara, Switch, 0);
RECORD_AT(DiffDSPara, RTCM23, 4);
RECORD_AT(DiffDSPara, RTCM30, 244);
RECORD_AT(DiffDSPara, RTCM32, 484);
RECORD_AT(DiffDSPara, CMR, 724);
RECORD_AT(DiffDSPara, Custom, 820);

RECORD_SIZE(RecordDSPara, 484);
RECORD_ALIGN(RecordDSPara, 4);
RECORD_AT(RecordDSPara, Switch, 0);
RECORD_AT(RecordDSPara, NMEA, 4);
RECORD_AT(RecordDSPara, EPH, 196);
RECORD_AT(RecordDSPara, Custom, 340);

RECORD_SIZE(BTDSPara, 196);
RECORD_ALIGN(BTDSPara, 4);
RECORD_AT(BTDSPara, Switch, 0);
RECORD_AT(BTDSPara, NMEA, 4);

RECORD_SIZE(SysDSPara, 120);
RECORD_ALIGN(SysDSPara, 4);
RECORD_AT(SysDSPara, System, 0);

#endif
