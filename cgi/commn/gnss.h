/* The GNSS information record: the receiver's latest navigation output as texts, binary
 * messages and records. A wire format shared with the receiver daemon. */
#ifndef COMMN_GNSS_H
#define COMMN_GNSS_H

#include <stdint.h>

#include "record_check.h"

typedef struct tag_GGAInfo_s {
    float utc;
    double latitude;
    uint8_t latdir;
    double longitude;
    uint8_t londir;
    uint8_t fix_status;
    uint16_t fix_satellite;
    float hdop;
    double altitude;
    uint8_t alt_unit;
    float undulation;
    uint8_t und_unit;
    uint8_t age;
    uint32_t station_id;
    uint8_t checksum;
    uint8_t available;
} GGAInfo;

typedef struct tag_ZDAInfo_s {
    float utc;
    uint8_t day;
    uint8_t month;
    uint16_t year;
    uint8_t checksum;
    uint8_t available;
} ZDAInfo;

typedef struct tag_GPSTime_s {
    uint16_t gps_w;
    uint32_t gps_s;
} GPSTime;

/* Packed as the board sends it: its doubles sit 4 bytes off 8-byte alignment inside GNSSInfo. */
typedef struct __attribute__((packed)) tag_K418Header_s {
    uint8_t h_len;
    uint8_t sat_num;
    uint8_t gprs_ss;
    uint8_t bt_ss;
    uint8_t bat_sts;
    uint8_t temp;
    uint8_t f_flag1;
    uint8_t f_flag2;
    uint8_t dlink_sts;
    uint8_t diff_mes;
    uint8_t work_mode;
    uint8_t fix_sts;
    uint8_t diff_age;
    uint8_t pdop;
    uint8_t rms;
    uint8_t res1;
    double lat;
    double lon;
    double high;
    float undu;
    float covr_e;
    float covr_n;
    float covr_v;
    uint8_t f_h1;
    uint8_t f_h2;
    uint8_t u_sat_num;
    uint8_t t_sat_num;
} K418Header;

typedef struct tag_K418Sattilite_s {
    uint8_t prn;
    int16_t azi;
    uint8_t ele;
    uint8_t l1_sta;
    uint8_t l1_snr;
    uint8_t l1_rms;
    uint8_t l1_lost_no;
    uint8_t l2_sta;
    uint8_t l2_snr;
    uint8_t l2_rms;
    uint8_t l2_lost_no;
    uint8_t l3_sta;
    uint8_t l3_snr;
    uint8_t l3_rms;
    uint8_t l3_lost_no;
    uint8_t l4_sta;
    uint8_t l4_snr;
    uint8_t l4_rms;
    uint8_t l4_lost_no;
    uint8_t l5_sta;
    uint8_t l5_snr;
    uint8_t l5_rms;
    uint8_t l5_lost_no;
    uint32_t code_type;
} K418Sattilite;

typedef struct tag_K418Info_s {
    GPSTime time;
    K418Header msg_header;
    K418Sattilite sat_para[64];
} K418Info;

typedef struct tag_PSRDOPInfo_s {
    float gdop;
    float pdop;
    float hdop;
    float htdop;
    float tdop;
    float vdop;
} PSRDOPInfo;

typedef struct tag_XYZCoordinates_s {
    double X;
    double Y;
    double Z;
    uint8_t available;
} XYZCoordinates;

typedef struct tag_YBMInfo_s {
    float utc;
    double latitude;
    double longitude;
    float altitude;
    float Heading;
    float Pitch;
    float Vel_N;
    float Vel_E;
    float Vel_D;
    float Vel_G;
    uint8_t heading_status;
    uint8_t available;
} YBMInfo;

typedef struct tag_GNSSInfo {
    uint8_t NMEA[128];
    uint8_t K418A[4000];
    uint8_t TIMEA[300];
    uint8_t BESTPOSA[300];
    uint8_t PSRDOPA[300];
    GGAInfo GGA;
    ZDAInfo ZDA;
    K418Info K418;
    PSRDOPInfo DOP;
    XYZCoordinates XYZ;
    uint8_t K418B[6145];
    uint8_t BESTPOSB[6145];
    uint8_t TIMEB[6145];
    uint8_t PSRDOPB[6145];
    uint8_t ZDA_MSG[128];
    YBMInfo YBM;
} GNSSInfo;

RECORD_SIZE(GGAInfo, 72);
RECORD_ALIGN(GGAInfo, 8);
RECORD_AT(GGAInfo, utc, 0);
RECORD_AT(GGAInfo, latitude, 8);
RECORD_AT(GGAInfo, latdir, 16);
RECORD_AT(GGAInfo, longitude, 24);
RECORD_AT(GGAInfo, londir, 32);
RECORD_AT(GGAInfo, fix_status, 33);
RECORD_AT(GGAInfo, fix_satellite, 34);
RECORD_AT(GGAInfo, hdop, 36);
RECORD_AT(GGAInfo, altitude, 40);
RECORD_AT(GGAInfo, alt_unit, 48);
RECORD_AT(GGAInfo, undulation, 52);
RECORD_AT(GGAInfo, und_unit, 56);
RECORD_AT(GGAInfo, age, 57);
RECORD_AT(GGAInfo, station_id, 60);
RECORD_AT(GGAInfo, checksum, 64);
RECORD_AT(GGAInfo, available, 65);

RECORD_SIZE(ZDAInfo, 12);
RECORD_ALIGN(ZDAInfo, 4);
RECORD_AT(ZDAInfo, utc, 0);
RECORD_AT(ZDAInfo, day, 4);
RECORD_AT(ZDAInfo, month, 5);
RECORD_AT(ZDAInfo, year, 6);
RECORD_AT(ZDAInfo, checksum, 8);
RECORD_AT(ZDAInfo, available, 9);

RECORD_SIZE(GPSTime, 8);
RECORD_ALIGN(GPSTime, 4);
RECORD_AT(GPSTime, gps_w, 0);
RECORD_AT(GPSTime, gps_s, 4);

RECORD_SIZE(K418Header, 60);
RECORD_ASSERT(__alignof__(K418Header) <= 4, "K418Header must be aligned to at most 4");
RECORD_AT(K418Header, h_len, 0);
RECORD_AT(K418Header, sat_num, 1);
RECORD_AT(K418Header, gprs_ss, 2);
RECORD_AT(K418Header, bt_ss, 3);
RECORD_AT(K418Header, bat_sts, 4);
RECORD_AT(K418Header, temp, 5);
RECORD_AT(K418Header, f_flag1, 6);
RECORD_AT(K418Header, f_flag2, 7);
RECORD_AT(K418Header, dlink_sts, 8);
RECORD_AT(K418Header, diff_mes, 9);
RECORD_AT(K418Header, work_mode, 10);
RECORD_AT(K418Header, fix_sts, 11);
RECORD_AT(K418Header, diff_age, 12);
RECORD_AT(K418Header, pdop, 13);
RECORD_AT(K418Header, rms, 14);
RECORD_AT(K418Header, res1, 15);
RECORD_AT(K418Header, lat, 16);
RECORD_AT(K418Header, lon, 24);
RECORD_AT(K418Header, high, 32);
RECORD_AT(K418Header, undu, 40);
RECORD_AT(K418Header, covr_e, 44);
RECORD_AT(K418Header, covr_n, 48);
RECORD_AT(K418Header, covr_v, 52);
RECORD_AT(K418Header, f_h1, 56);
RECORD_AT(K418Header, f_h2, 57);
RECORD_AT(K418Header, u_sat_num, 58);
RECORD_AT(K418Header, t_sat_num, 59);

RECORD_SIZE(K418Sattilite, 32);
RECORD_ALIGN(K418Sattilite, 4);
RECORD_AT(K418Sattilite, prn, 0);
RECORD_AT(K418Sattilite, azi, 2);
RECORD_AT(K418Sattilite, ele, 4);
RECORD_AT(K418Sattilite, l1_sta, 5);
RECORD_AT(K418Sattilite, l1_snr, 6);
RECORD_AT(K418Sattilite, l1_rms, 7);
RECORD_AT(K418Sattilite, l1_lost_no, 8);
RECORD_AT(K418Sattilite, l2_sta, 9);
RECORD_AT(K418Sattilite, l2_snr, 10);
RECORD_AT(K418Sattilite, l2_rms, 11);
RECORD_AT(K418Sattilite, l2_lost_no, 12);
RECORD_AT(K418Sattilite, l3_sta, 13);
RECORD_AT(K418Sattilite, l3_snr, 14);
RECORD_AT(K418Sattilite, l3_rms, 15);
RECORD_AT(K418Sattilite, l3_lost_no, 16);
RECORD_AT(K418Sattilite, l4_sta, 17);
RECORD_AT(K418Sattilite, l4_snr, 18);
RECORD_AT(K418Sattilite, l4_rms, 19);
RECORD_AT(K418Sattilite, l4_lost_no, 20);
RECORD_AT(K418Sattilite, l5_sta, 21);
RECORD_AT(K418Sattilite, l5_snr, 22);
RECORD_AT(K418Sattilite, l5_rms, 23);
RECORD_AT(K418Sattilite, l5_lost_no, 24);
RECORD_AT(K418Sattilite, code_type, 28);

RECORD_SIZE(K418Info, 2116);
RECORD_ALIGN(K418Info, 4);
RECORD_AT(K418Info, time, 0);
RECORD_AT(K418Info, msg_header, 8);
RECORD_AT(K418Info, sat_para, 68);

RECORD_SIZE(PSRDOPInfo, 24);
RECORD_ALIGN(PSRDOPInfo, 4);
RECORD_AT(PSRDOPInfo, gdop, 0);
RECORD_AT(PSRDOPInfo, pdop, 4);
RECORD_AT(PSRDOPInfo, hdop, 8);
RECORD_AT(PSRDOPInfo, htdop, 12);
RECORD_AT(PSRDOPInfo, tdop, 16);
RECORD_AT(PSRDOPInfo, vdop, 20);

RECORD_SIZE(XYZCoordinates, 32);
RECORD_ALIGN(XYZCoordinates, 8);
RECORD_AT(XYZCoordinates, X, 0);
RECORD_AT(XYZCoordinates, Y, 8);
RECORD_AT(XYZCoordinates, Z, 16);
RECORD_AT(XYZCoordinates, available, 24);

RECORD_SIZE(YBMInfo, 56);
RECORD_ALIGN(YBMInfo, 8);
RECORD_AT(YBMInfo, utc, 0);
RECORD_AT(YBMInfo, latitude, 8);
RECORD_AT(YBMInfo, longitude, 16);
RECORD_AT(YBMInfo, altitude, 24);
RECORD_AT(YBMInfo, Heading, 28);
RECORD_AT(YBMInfo, Pitch, 32);
RECORD_AT(YBMInfo, Vel_N, 36);
RECORD_AT(YBMInfo, Vel_E, 40);
RECORD_AT(YBMInfo, Vel_D, 44);
RECORD_AT(YBMInfo, Vel_G, 48);
RECORD_AT(YBMInfo, heading_status, 52);
RECORD_AT(YBMInfo, available, 53);

RECORD_SIZE(GNSSInfo, 32056);
RECORD_ALIGN(GNSSInfo, 8);
RECORD_AT(GNSSInfo, NMEA, 0);
RECORD_AT(GNSSInfo, K418A, 128);
RECORD_AT(GNSSInfo, TIMEA, 4128);
RECORD_AT(GNSSInfo, BESTPOSA, 4428);
RECORD_AT(GNSSInfo, PSRDOPA, 4728);
RECORD_AT(GNSSInfo, GGA, 5032);
RECORD_AT(GNSSInfo, ZDA, 5104);
RECORD_AT(GNSSInfo, K418, 5116);
RECORD_AT(GNSSInfo, K418.msg_header.lat, 5140);
RECORD_AT(GNSSInfo, K418.msg_header.lon, 5148);
RECORD_AT(GNSSInfo, K418.msg_header.high, 5156);
RECORD_AT(GNSSInfo, DOP, 7232);
RECORD_AT(GNSSInfo, XYZ, 7256);
RECORD_AT(GNSSInfo, K418B, 7288);
RECORD_AT(GNSSInfo, BESTPOSB, 13433);
RECORD_AT(GNSSInfo, TIMEB, 19578);
RECORD_AT(GNSSInfo, PSRDOPB, 25723);
RECORD_AT(GNSSInfo, ZDA_MSG, 31868);
RECORD_AT(GNSSInfo, YBM, 32000);

#endif
