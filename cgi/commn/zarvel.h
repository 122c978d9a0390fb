/* The configuration record with its sub-records, the monitor record and its operation mailbox.
 * Both records are wire formats shared with the receiver daemon: the checks below pin every
 * offset, so the natural alignment of 32-bit Arm (which x86-64 shares) places every gap. */
#ifndef COMMN_ZARVEL_H
#define COMMN_ZARVEL_H

#include <stdint.h>

#include "bluetooth.h"
#include "data_call.h"
#include "ddns.h"
#include "portvia.h"
#include "radio.h"
#include "record_check.h"
#include "sample.h"
#include "tunnex.h"
#include "wlan.h"

typedef struct tag_Coordinates_s {
    double Longitude;
    uint8_t LonDirection;
    double Latitude;
    uint8_t LatDirection;
    double Elevation;
    uint8_t Available;
} Coordinates;

typedef struct tag_RinexHeaderInfo {
    uint8_t ObserverName[20];
    uint8_t AgencyName[40];
} RinexHeaderInfo;

typedef struct tag_AntennaConfig {
    uint8_t RinexName[10];
    uint8_t CurAerkind[21];
    float High;
    float MeasuredHigh;
    uint8_t MeasurementType;
    uint8_t Installation;
} AntennaConfig;

typedef struct tag_RecFileConfig {
    uint8_t RecFolderName[17];
    uint8_t FileType;
    uint8_t RecMode;
    float RecInterval;
    uint32_t RecMaxSpace;
    float RecFreeSpace;
    uint8_t RecCircular;
    RecordDSPara RecDSPara;
} RecFileConfig;

typedef struct tag_EthTCPConfig {
    uint32_t WorkMode;
    uint32_t LocalPort;
    uint32_t ServerIP[4];
    uint32_t ServerPort;
    uint8_t EncryptFlag;
    uint8_t PassWord[16];
    uint16_t MaxConNum;
    TransDSPara TCPDSPara;
    uint8_t DS_Flag;
} EthTCPConfig;

typedef struct tag_NtripClient {
    uint8_t ClientEnable;
    uint8_t ServerIP[33];
    uint32_t ServerPort;
    uint8_t UserName[17];
    uint8_t UserPwd[17];
    uint8_t MountPoint[33];
} NtripClientConfig;

/* No enable flag of its own: ServerDSPara.Switch.Enable is the server's switch. */
typedef struct tag_NtripServer {
    uint8_t Version;
    uint8_t CasterIP[65];
    uint32_t CasterPort;
    uint8_t UserName[17];
    uint8_t UserPwd[17];
    uint8_t MountPoint[33];
    DiffDSPara ServerDSPara;
} NtripServerConfig;

typedef struct tag_FtpPushConfig {
    uint8_t Enable;
    uint32_t ServerIP[4];
    uint32_t ServerPort;
    uint8_t UsrName[17];
    uint8_t Password[17];
    uint8_t RemotePath[65];
    uint8_t LocalPath[65];
    uint8_t FilePath[65];
    uint8_t RecID;
    uint8_t RecDevice;
    uint8_t PushState;
} FtpPushConfig;

typedef struct tag_MailServiceConfig {
    uint8_t Enable;
    uint8_t MailServer[65];
    uint32_t ServerPort;
    uint8_t MailFrom[65];
    uint8_t MailPwd[17];
    uint8_t Mail2Usr1[65];
    uint8_t Mail2Usr2[65];
    uint8_t Mail2Usr3[65];
    uint32_t MailContent;
} MailServiceConfig;

typedef struct tag_ID_KT5RW_Config {
    uint32_t interval[2];
    uint32_t delay[2];
} ID_KT5RW_Config;

typedef struct tag_INSConfig {
    uint8_t enable;
    uint8_t mode;
    uint8_t axial;
    float initSV;
} INSConfig;

typedef struct tag_SerialPortConfig {
    uint32_t Baudrate;
    uint8_t ComMode;
    uint8_t Verify;
    TransDSPara COMDSPara;
} SerialPortConfig;

typedef struct tag_RelayhubConfig {
    uint8_t Enable;
    uint8_t ServerIP[33];
    uint32_t ServerPort;
    uint8_t UserName[17];
    uint8_t UserPwd[17];
} RelayhubConfig;

typedef struct tag_NtripCasterConfig {
    uint8_t Enable;
    uint8_t Version;
    uint32_t CasterIP[4];
    uint32_t CasterPort;
    uint8_t UserName[17];
    uint8_t UserPwd[17];
} NtripCasterConfig;

typedef struct tag_JT808Config {
    uint8_t Enable;
    uint8_t Auth;
    uint8_t ServerType;
    uint8_t Protocol;
    uint8_t ServerIP[33];
    uint32_t ServerPort;
    uint8_t District[7];
    uint8_t PlateColor;
    uint8_t PlateNumber[24];
    uint8_t VendorID[12];
    uint8_t AuthCode[65];
    uint8_t IMEI[16];
} JT808Config;

typedef struct tag_PPPConfig {
    uint8_t pppEnable;
    uint8_t pppSource;
    uint8_t mode;
} PPPConfig;

typedef struct tag_ReceiverConfig {
    uint8_t SerialNum[15];
    uint8_t HWVersion[9];
    uint8_t SWVersion[16];
    uint8_t RTKVersion[16];
    uint8_t RTKModel[16];
    uint8_t BBVersion[16];
    uint8_t BOOTVersion[16];
    uint8_t RDVersion[16];
    uint8_t RDModel[16];
    uint8_t DPVersion[16];
    uint8_t SWDate[16];
    uint32_t MAC[6];
    uint32_t IP[4];
    uint32_t NetMask[4];
    uint32_t Gateway[4];
    uint32_t DNS1[4];
    uint32_t DNS2[4];
    uint32_t HttpPort;
    uint32_t FtpPort;
    uint8_t DeviceName[16];
    uint8_t AutoGetIP;
    /* Held by the receiver daemon; no entry reaches it. */
    uint8_t reserved[56];
    uint8_t StationID[16];
    uint8_t WorkMode;
    uint8_t PPS;
    uint8_t Event;
    float PDOPLimit;
    uint32_t MaskAngle;
    uint8_t MoothFun;
    uint8_t GPSEnable;
    uint8_t BDEnable;
    uint8_t GLOEnable;
    uint8_t GALEnable;
    DataCallConfig DataCall_C;
    Coordinates StationPos;
    RinexHeaderInfo RinexHeader;
    AntennaConfig Antenna;
    RecFileConfig RecConf[2];
    EthTCPConfig TCP[2];
    NtripClientConfig NtripClientUsr;
    NtripServerConfig NtripServerUsr[2];
    SysDSPara SystemDSPara;
    FtpPushConfig FtpPush[2];
    MailServiceConfig MailAlarm;
    WlanConfig Wlan;
    RadioConfig Radio;
    RadioMessage Radio_Msg;
    BTConfig BT;
    DDNSConfig DDNS;
    PORTVIAConfig PORTVIA;
    ID_KT5RW_Config KT5RW;
    TUNNEXConfig TUNNEX;
    uint8_t user[16];
    uint8_t pawd[16];
    INSConfig INS;
    uint8_t QZSSEnable;
    SerialPortConfig COM[2];
    RelayhubConfig relayhubConfig[2];
    NtripCasterConfig ntripcasterConfig;
    JT808Config jt808Config;
    PPPConfig pppConfig;
} ReceiverConfig;

/* The operation mailbox: an OPERATE_ENTRY value and an OPERATE_STATE value, one byte each. */
typedef struct tag_Operate_s {
    uint8_t OperateEntry;
    int8_t OperateState;
} Operate, *pOperate;

typedef struct tag_ReceiverMonitor {
    int8_t Temperature;
    float AllSpace;
    float FreeSpace;
    uint8_t TCPLinkState[2];
    uint8_t RecState[2];
    Coordinates CurPosition;
    uint8_t StationState;
    uint8_t NtripClientState;
    uint8_t NtripServerState[2];
    char SourceTable[200][64];
    uint8_t GetSourceAvailable;
    DataCallInfo DataCall_I;
    uint8_t ConfigSave;
    uint8_t DSParaUpdate;
    Operate op;
    /* Held by the receiver daemon; no entry reaches it. */
    uint8_t reserved;
    uint8_t StationIDSate;
    uint8_t WebAvailable;
    uint8_t FirmAvailable;
    uint8_t MatchAerkind;
    char TempAerkind[800][21];
    uint8_t OEMversion[24];
    uint8_t DelFile[47];
    uint32_t RunTime;
    float Voltage;
    float UpgradeProgress;
    int32_t HasReadenProgress;
    uint8_t IMUState;
    uint8_t Ant1SQI;
    uint8_t Ant2SQI;
    uint8_t k418_satnum;
    uint8_t pppState;
} ReceiverMonitor;

RECORD_SIZE(Coordinates, 48);
RECORD_ALIGN(Coordinates, 8);
RECORD_AT(Coordinates, Longitude, 0);
RECORD_AT(Coordinates, LonDirection, 8);
RECORD_AT(Coordinates, Latitude, 16);
RECORD_AT(Coordinates, LatDirection, 24);
RECORD_AT(Coordinates, Elevation, 32);
RECORD_AT(Coordinates, Available, 40);

RECORD_SIZE(RinexHeaderInfo, 60);
RECORD_ALIGN(RinexHeaderInfo, 1);
RECORD_AT(RinexHeaderInfo, ObserverName, 0);
RECORD_AT(RinexHeaderInfo, AgencyName, 20);

RECORD_SIZE(AntennaConfig, 44);
RECORD_ALIGN(AntennaConfig, 4);
RECORD_AT(AntennaConfig, RinexName, 0);
RECORD_AT(AntennaConfig, CurAerkind, 10);
RECORD_AT(AntennaConfig, High, 32);
RECORD_AT(AntennaConfig, MeasuredHigh, 36);
RECORD_AT(AntennaConfig, MeasurementType, 40);
RECORD_AT(AntennaConfig, Installation, 41);

RECORD_SIZE(RecFileConfig, 520);
RECORD_ALIGN(RecFileConfig, 4);
RECORD_AT(RecFileConfig, RecFolderName, 0);
RECORD_AT(RecFileConfig, FileType, 17);
RECORD_AT(RecFileConfig, RecMode, 18);
RECORD_AT(RecFileConfig, RecInterval, 20);
RECORD_AT(RecFileConfig, RecMaxSpace, 24);
RECORD_AT(RecFileConfig, RecFreeSpace, 28);
RECORD_AT(RecFileConfig, RecCircular, 32);
RECORD_AT(RecFileConfig, RecDSPara, 36);

RECORD_SIZE(EthTCPConfig, 1952);
RECORD_ALIGN(EthTCPConfig, 4);
RECORD_AT(EthTCPConfig, WorkMode, 0);
RECORD_AT(EthTCPConfig, LocalPort, 4);
RECORD_AT(EthTCPConfig, ServerIP, 8);
RECORD_AT(EthTCPConfig, ServerPort, 24);
RECORD_AT(EthTCPConfig, EncryptFlag, 28);
RECORD_AT(EthTCPConfig, PassWord, 29);
RECORD_AT(EthTCPConfig, MaxConNum, 46);
RECORD_AT(EthTCPConfig, TCPDSPara, 48);
RECORD_AT(EthTCPConfig, DS_Flag, 1948);

RECORD_SIZE(NtripClientConfig, 108);
RECORD_ALIGN(NtripClientConfig, 4);
RECORD_AT(NtripClientConfig, ClientEnable, 0);
RECORD_AT(NtripClientConfig, ServerIP, 1);
RECORD_AT(NtripClientConfig, ServerPort, 36);
RECORD_AT(NtripClientConfig, UserName, 40);
RECORD_AT(NtripClientConfig, UserPwd, 57);
RECORD_AT(NtripClientConfig, MountPoint, 74);

RECORD_SIZE(NtripServerConfig, 1104);
RECORD_ALIGN(NtripServerConfig, 4);
RECORD_AT(NtripServerConfig, Version, 0);
RECORD_AT(NtripServerConfig, CasterIP, 1);
RECORD_AT(NtripServerConfig, CasterPort, 68);
RECORD_AT(NtripServerConfig, UserName, 72);
RECORD_AT(NtripServerConfig, UserPwd, 89);
RECORD_AT(NtripServerConfig, MountPoint, 106);
RECORD_AT(NtripServerConfig, ServerDSPara, 140);

RECORD_SIZE(FtpPushConfig, 256);
RECORD_ALIGN(FtpPushConfig, 4);
RECORD_AT(FtpPushConfig, Enable, 0);
RECORD_AT(FtpPushConfig, ServerIP, 4);
RECORD_AT(FtpPushConfig, ServerPort, 20);
RECORD_AT(FtpPushConfig, UsrName, 24);
RECORD_AT(FtpPushConfig, Password, 41);
RECORD_AT(FtpPushConfig, RemotePath, 58);
RECORD_AT(FtpPushConfig, LocalPath, 123);
RECORD_AT(FtpPushConfig, FilePath, 188);
RECORD_AT(FtpPushConfig, RecID, 253);
RECORD_AT(FtpPushConfig, RecDevice, 254);
RECORD_AT(FtpPushConfig, PushState, 255);

RECORD_SIZE(MailServiceConfig, 356);
RECORD_ALIGN(MailServiceConfig, 4);
RECORD_AT(MailServiceConfig, Enable, 0);
RECORD_AT(MailServiceConfig, MailServer, 1);
RECORD_AT(MailServiceConfig, ServerPort, 68);
RECORD_AT(MailServiceConfig, MailFrom, 72);
RECORD_AT(MailServiceConfig, MailPwd, 137);
RECORD_AT(MailServiceConfig, Mail2Usr1, 154);
RECORD_AT(MailServiceConfig, Mail2Usr2, 219);
RECORD_AT(MailServiceConfig, Mail2Usr3, 284);
RECORD_AT(MailServiceConfig, MailContent, 352);

RECORD_SIZE(ID_KT5RW_Config, 16);
RECORD_ALIGN(ID_KT5RW_Config, 4);
RECORD_AT(ID_KT5RW_Config, interval, 0);
RECORD_AT(ID_KT5RW_Config, delay, 8);

RECORD_SIZE(INSConfig, 8);
RECORD_ALIGN(INSConfig, 4);
RECORD_AT(INSConfig, enable, 0);
RECORD_AT(INSConfig, mode, 1);
RECORD_AT(INSConfig, axial, 2);
RECORD_AT(INSConfig, initSV, 4);

RECORD_SIZE(SerialPortConfig, 1908);
RECORD_ALIGN(SerialPortConfig, 4);
RECORD_AT(SerialPortConfig, Baudrate, 0);
RECORD_AT(SerialPortConfig, ComMode, 4);
RECORD_AT(SerialPortConfig, Verify, 5);
RECORD_AT(SerialPortConfig, COMDSPara, 8);

RECORD_SIZE(RelayhubConfig, 76);
RECORD_ALIGN(RelayhubConfig, 4);
RECORD_AT(RelayhubConfig, Enable, 0);
RECORD_AT(RelayhubConfig, ServerIP, 1);
RECORD_AT(RelayhubConfig, ServerPort, 36);
RECORD_AT(RelayhubConfig, UserName, 40);
RECORD_AT(RelayhubConfig, UserPwd, 57);

RECORD_SIZE(NtripCasterConfig, 60);
RECORD_ALIGN(NtripCasterConfig, 4);
RECORD_AT(NtripCasterConfig, Enable, 0);
RECORD_AT(NtripCasterConfig, Version, 1);
RECORD_AT(NtripCasterConfig, CasterIP, 4);
RECORD_AT(NtripCasterConfig, CasterPort, 20);
RECORD_AT(NtripCasterConfig, UserName, 24);
RECORD_AT(NtripCasterConfig, UserPwd, 41);

RECORD_SIZE(JT808Config, 172);
RECORD_ALIGN(JT808Config, 4);
RECORD_AT(JT808Config, Enable, 0);
RECORD_AT(JT808Config, Auth, 1);
RECORD_AT(JT808Config, ServerType, 2);
RECORD_AT(JT808Config, Protocol, 3);
RECORD_AT(JT808Config, ServerIP, 4);
RECORD_AT(JT808Config, ServerPort, 40);
RECORD_AT(JT808Config, District, 44);
RECORD_AT(JT808Config, PlateColor, 51);
RECORD_AT(JT808Config, PlateNumber, 52);
RECORD_AT(JT808Config, VendorID, 76);
RECORD_AT(JT808Config, AuthCode, 88);
RECORD_AT(JT808Config, IMEI, 153);

RECORD_SIZE(PPPConfig, 3);
RECORD_ALIGN(PPPConfig, 1);
RECORD_AT(PPPConfig, pppEnable, 0);
RECORD_AT(PPPConfig, pppSource, 1);
RECORD_AT(PPPConfig, mode, 2);

RECORD_SIZE(ReceiverConfig, 14912);
RECORD_ALIGN(ReceiverConfig, 8);
RECORD_AT(ReceiverConfig, SerialNum, 0);
RECORD_AT(ReceiverConfig, HWVersion, 15);
RECORD_AT(ReceiverConfig, SWVersion, 24);
RECORD_AT(ReceiverConfig, RTKVersion, 40);
RECORD_AT(ReceiverConfig, RTKModel, 56);
RECORD_AT(ReceiverConfig, BBVersion, 72);
RECORD_AT(ReceiverConfig, BOOTVersion, 88);
RECORD_AT(ReceiverConfig, RDVersion, 104);
RECORD_AT(ReceiverConfig, RDModel, 120);
RECORD_AT(ReceiverConfig, DPVersion, 136);
RECORD_AT(ReceiverConfig, SWDate, 152);
RECORD_AT(ReceiverConfig, MAC, 168);
RECORD_AT(ReceiverConfig, IP, 192);
RECORD_AT(ReceiverConfig, NetMask, 208);
RECORD_AT(ReceiverConfig, Gateway, 224);
RECORD_AT(ReceiverConfig, DNS1, 240);
RECORD_AT(ReceiverConfig, DNS2, 256);
RECORD_AT(ReceiverConfig, HttpPort, 272);
RECORD_AT(ReceiverConfig, FtpPort, 276);
RECORD_AT(ReceiverConfig, DeviceName, 280);
RECORD_AT(ReceiverConfig, AutoGetIP, 296);
RECORD_AT(ReceiverConfig, reserved, 297);
RECORD_AT(ReceiverConfig, StationID, 353);
RECORD_AT(ReceiverConfig, WorkMode, 369);
RECORD_AT(ReceiverConfig, PPS, 370);
RECORD_AT(ReceiverConfig, Event, 371);
RECORD_AT(ReceiverConfig, PDOPLimit, 372);
RECORD_AT(ReceiverConfig, MaskAngle, 376);
RECORD_AT(ReceiverConfig, MoothFun, 380);
RECORD_AT(ReceiverConfig, GPSEnable, 381);
RECORD_AT(ReceiverConfig, BDEnable, 382);
RECORD_AT(ReceiverConfig, GLOEnable, 383);
RECORD_AT(ReceiverConfig, GALEnable, 384);
RECORD_AT(ReceiverConfig, DataCall_C, 385);
RECORD_AT(ReceiverConfig, StationPos, 520);
RECORD_AT(ReceiverConfig, RinexHeader, 568);
RECORD_AT(ReceiverConfig, Antenna, 628);
RECORD_AT(ReceiverConfig, RecConf, 672);
RECORD_AT(ReceiverConfig, RecConf[1], 1192);
RECORD_AT(ReceiverConfig, TCP, 1712);
RECORD_AT(ReceiverConfig, TCP[1], 3664);
RECORD_AT(ReceiverConfig, NtripClientUsr, 5616);
RECORD_AT(ReceiverConfig, NtripServerUsr, 5724);
RECORD_AT(ReceiverConfig, NtripServerUsr[1], 6828);
RECORD_AT(ReceiverConfig, SystemDSPara, 7932);
RECORD_AT(ReceiverConfig, FtpPush, 8052);
RECORD_AT(ReceiverConfig, FtpPush[1], 8308);
RECORD_AT(ReceiverConfig, MailAlarm, 8564);
RECORD_AT(ReceiverConfig, Wlan, 8920);
RECORD_AT(ReceiverConfig, Radio, 9072);
RECORD_AT(ReceiverConfig, Radio_Msg, 10048);
RECORD_AT(ReceiverConfig, BT, 10100);
RECORD_AT(ReceiverConfig, DDNS, 10324);
RECORD_AT(ReceiverConfig, PORTVIA, 10441);
RECORD_AT(ReceiverConfig, KT5RW, 10508);
RECORD_AT(ReceiverConfig, TUNNEX, 10524);
RECORD_AT(ReceiverConfig, user, 10663);
RECORD_AT(ReceiverConfig, pawd, 10679);
RECORD_AT(ReceiverConfig, INS, 10696);
RECORD_AT(ReceiverConfig, QZSSEnable, 10704);
RECORD_AT(ReceiverConfig, COM, 10708);
RECORD_AT(ReceiverConfig, COM[1], 12616);
RECORD_AT(ReceiverConfig, relayhubConfig, 14524);
RECORD_AT(ReceiverConfig, relayhubConfig[1], 14600);
RECORD_AT(ReceiverConfig, ntripcasterConfig, 14676);
RECORD_AT(ReceiverConfig, jt808Config, 14736);
RECORD_AT(ReceiverConfig, pppConfig, 14908);
/* The message blocks and single members that the recording and data-stream helpers reach. */
RECORD_AT(ReceiverConfig, RecConf[0].RecDSPara, 708);
RECORD_AT(ReceiverConfig, RecConf[1].RecDSPara, 1228);
RECORD_AT(ReceiverConfig, TCP[0].TCPDSPara, 1760);
RECORD_AT(ReceiverConfig, TCP[1].TCPDSPara, 3712);
RECORD_AT(ReceiverConfig, NtripServerUsr[0].ServerDSPara, 5864);
RECORD_AT(ReceiverConfig, NtripServerUsr[1].ServerDSPara, 6968);
RECORD_AT(ReceiverConfig, Radio.RadioDSPara, 9080);
RECORD_AT(ReceiverConfig, BT.Enable, 10117);
RECORD_AT(ReceiverConfig, BT.DSPara, 10128);
RECORD_AT(ReceiverConfig, COM[0].COMDSPara, 10716);
RECORD_AT(ReceiverConfig, COM[1].COMDSPara, 12624);

RECORD_SIZE(Operate, 2);
RECORD_ALIGN(Operate, 1);
RECORD_AT(Operate, OperateEntry, 0);
RECORD_AT(Operate, OperateState, 1);

RECORD_SIZE(ReceiverMonitor, 30168);
RECORD_ALIGN(ReceiverMonitor, 8);
RECORD_AT(ReceiverMonitor, Temperature, 0);
RECORD_AT(ReceiverMonitor, AllSpace, 4);
RECORD_AT(ReceiverMonitor, FreeSpace, 8);
RECORD_AT(ReceiverMonitor, TCPLinkState, 12);
RECORD_AT(ReceiverMonitor, RecState, 14);
RECORD_AT(ReceiverMonitor, CurPosition, 16);
RECORD_AT(ReceiverMonitor, StationState, 64);
RECORD_AT(ReceiverMonitor, NtripClientState, 65);
RECORD_AT(ReceiverMonitor, NtripServerState, 66);
RECORD_AT(ReceiverMonitor, SourceTable, 68);
RECORD_AT(ReceiverMonitor, GetSourceAvailable, 12868);
RECORD_AT(ReceiverMonitor, DataCall_I, 12872);
RECORD_AT(ReceiverMonitor, DataCall_I.connect_state, 13261);
RECORD_AT(ReceiverMonitor, ConfigSave, 13264);
RECORD_AT(ReceiverMonitor, DSParaUpdate, 13265);
RECORD_AT(ReceiverMonitor, op, 13266);
RECORD_AT(ReceiverMonitor, op.OperateState, 13267);
RECORD_AT(ReceiverMonitor, reserved, 13268);
RECORD_AT(ReceiverMonitor, StationIDSate, 13269);
RECORD_AT(ReceiverMonitor, WebAvailable, 13270);
RECORD_AT(ReceiverMonitor, FirmAvailable, 13271);
RECORD_AT(ReceiverMonitor, MatchAerkind, 13272);
RECORD_AT(ReceiverMonitor, TempAerkind, 13273);
RECORD_AT(ReceiverMonitor, OEMversion, 30073);
RECORD_AT(ReceiverMonitor, DelFile, 30097);
RECORD_AT(ReceiverMonitor, RunTime, 30144);
RECORD_AT(ReceiverMonitor, Voltage, 30148);
RECORD_AT(ReceiverMonitor, UpgradeProgress, 30152);
RECORD_AT(ReceiverMonitor, HasReadenProgress, 30156);
RECORD_AT(ReceiverMonitor, IMUState, 30160);
RECORD_AT(ReceiverMonitor, Ant1SQI, 30161);
RECORD_AT(ReceiverMonitor, Ant2SQI, 30162);
RECORD_AT(ReceiverMonitor, k418_satnum, 30163);
RECORD_AT(ReceiverMonitor, pppState, 30164);

#endif
