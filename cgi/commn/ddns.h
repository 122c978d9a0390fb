/* The dynamic-DNS client's settings. */
#ifndef COMMN_DDNS_H
#define COMMN_DDNS_H

#include <stdint.h>

#include "record_check.h"

typedef struct tag_DDNSConfig_s {
    uint8_t enable;
    uint8_t server_name[33];
    uint8_t user_name[33];
    uint8_t password[17];
    uint8_t domain[33];
} DDNSConfig;

RECORD_SIZE(DDNSConfig, 117);
RECORD_ALIGN(DDNSConfig, 1);
RECORD_AT(DDNSConfig, enable, 0);
RECORD_AT(DDNSConfig, server_name, 1);
RECORD_AT(DDNSConfig, user_name, 34);
RECORD_AT(DDNSConfig, password, 67);
RECORD_AT(DDNSConfig, domain, 84);

#endif
