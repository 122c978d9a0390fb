/* Tunnel service B's settings. */
#ifndef COMMN_PORTVIA_H
#define COMMN_PORTVIA_H

#include <stdint.h>

#include "record_check.h"

typedef struct tag_PORTVIAConfig_s {
    uint8_t enable;
    uint8_t authtoken[33];
    uint8_t domain[33];
} PORTVIAConfig;

RECORD_SIZE(PORTVIAConfig, 67);
RECORD_ALIGN(PORTVIAConfig, 1);
RECORD_AT(PORTVIAConfig, enable, 0);
RECORD_AT(PORTVIAConfig, authtoken, 1);
RECORD_AT(PORTVIAConfig, domain, 34);

#endif
