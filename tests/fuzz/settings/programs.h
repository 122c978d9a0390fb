// The work of each program that parses a JSON request, reached from its own translation unit:
// each one includes the program's source with its main renamed.
#ifndef TESTS_FUZZ_SETTINGS_PROGRAMS_H
#define TESTS_FUZZ_SETTINGS_PROGRAMS_H

#include "request.h"

namespace settings_fuzz {

extern const cgi::Work tunnex, ddns, portvia, ins, credset, stationmark;

// How often ins paused between writing a change and posting it.
extern unsigned ins_pauses;

} // namespace settings_fuzz

#endif
