/* The wireless LAN settings: an access-point set and a station set. */
#ifndef COMMN_WLAN_H
#define COMMN_WLAN_H

#include <stdint.h>

#include "record_check.h"

typedef struct tag_WlanConfig_s {
    uint8_t sw;
    uint8_t mode;
    uint8_t ap_ssid[33];
    uint8_t ap_pwd[33];
    uint8_t sta_ssid[33];
    uint8_t key_type;
    uint8_t sta_pwd[33];
    uint32_t ip[4];
} WlanConfig;

RECORD_SIZE(WlanConfig, 152);
RECORD_ALIGN(WlanConfig, 4);
RECORD_AT(WlanConfig, sw, 0);
RECORD_AT(WlanConfig, mode, 1);
RECORD_AT(WlanConfig, ap_ssid, 2);
RECORD_AT(WlanConfig, ap_pwd, 35);
RECORD_AT(WlanConfig, sta_ssid, 68);
RECORD_AT(WlanConfig, key_type, 101);
RECORD_AT(WlanConfig, sta_pwd, 102);
RECORD_AT(WlanConfig, ip, 136);

#endif
