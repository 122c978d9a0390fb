/* The radio: its settings with the messages it sends, and its information texts. */
#ifndef COMMN_RADIO_H
#define COMMN_RADIO_H

#include <stdint.h>

#include "record_check.h"
#include "sample.h"

typedef struct tag_RadioConfig_s {
    uint32_t freq;
    uint8_t sw;
    uint8_t mode;
    uint8_t protocol;
    uint8_t power;
    DiffDSPara RadioDSPara;
    uint8_t compatib;
} RadioConfig;

typedef struct tag_RadioMessage_s {
    uint8_t ver[8];
    uint8_t type[5];
    uint8_t baud[12];
    uint8_t protocol[12];
    uint8_t freq[12];
    uint8_t mode[3];
} RadioMessage;

RECORD_SIZE(RadioConfig, 976);
RECORD_ALIGN(RadioConfig, 4);
RECORD_AT(RadioConfig, freq, 0);
RECORD_AT(RadioConfig, sw, 4);
RECORD_AT(RadioConfig, mode, 5);
RECORD_AT(RadioConfig, protocol, 6);
RECORD_AT(RadioConfig, power, 7);
RECORD_AT(RadioConfig, RadioDSPara, 8);
RECORD_AT(RadioConfig, compatib, 972);

RECORD_SIZE(RadioMessage, 52);
RECORD_ALIGN(RadioMessage, 1);
RECORD_AT(RadioMessage, ver, 0);
RECORD_AT(RadioMessage, type, 8);
RECORD_AT(RadioMessage, baud, 13);
RECORD_AT(RadioMessage, protocol, 25);
RECORD_AT(RadioMessage, freq, 37);
RECORD_AT(RadioMessage, mode, 49);

#endif
