/* Placeholder until the record layouts land. */
#ifndef COMMN_GNSS_H
#define COMMN_GNSS_H
#include <stdint.h>
typedef struct tag_GNSSInfo { double align_; uint8_t bytes[32048]; } GNSSInfo;
#endif
