/* Bluetooth settings. Enable is the switch of the Bluetooth stream itself; the switch inside
 * DSPara is a different flag. */
#ifndef COMMN_BLUETOOTH_H
#define COMMN_BLUETOOTH_H

#include <stdint.h>

#include "record_check.h"
#include "sample.h"

typedef struct tag_BluetoothConf_s {
    uint8_t Name[17];
    uint8_t Enable;
    uint8_t Mode;
    uint8_t addr[6];
    BTDSPara DSPara;
} BTConfig;

RECORD_SIZE(BTConfig, 224);
RECORD_ALIGN(BTConfig, 4);
RECORD_AT(BTConfig, Name, 0);
RECORD_AT(BTConfig, Enable, 17);
RECORD_AT(BTConfig, Mode, 18);
RECORD_AT(BTConfig, addr, 19);
RECORD_AT(BTConfig, DSPara, 28);

#endif
