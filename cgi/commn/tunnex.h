/* Tunnel service A's settings. */
#ifndef COMMN_TUNNEX_H
#define COMMN_TUNNEX_H

#include <stdint.h>

#include "record_check.h"

typedef struct tag_TUNNEXConfig_s {
    uint8_t enable;
    uint8_t authtoken[101];
    uint8_t domain[33];
    uint8_t region[4];
} TUNNEXConfig;

RECORD_SIZE(TUNNEXConfig, 139);
RECORD_ALIGN(TUNNEXConfig, 1);
RECORD_AT(TUNNEXConfig, enable, 0);
RECORD_AT(TUNNEXConfig, authtoken, 1);
RECORD_AT(TUNNEXConfig, domain, 102);
RECORD_AT(TUNNEXConfig, region, 135);

#endif
