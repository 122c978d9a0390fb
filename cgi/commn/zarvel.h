/* Placeholder until the record layouts land. */
#ifndef COMMN_ZARVEL_H
#define COMMN_ZARVEL_H
#include <stdint.h>
typedef struct tag_ReceiverConfig { double align_; uint8_t bytes[14904]; } ReceiverConfig;
typedef struct tag_ReceiverMonitor { double align_; uint8_t bytes[30160]; } ReceiverMonitor;
#endif
