#include <unistd.h>

#include "programs.h"

unsigned settings_fuzz::ins_pauses = 0;

namespace {

// ins pauses one second between writing a change and posting it, for the device's daemon.
// The daemon stand-in needs no such pause; counting it instead keeps the fuzzer fast.
unsigned counted_pause(unsigned)
{
    ++settings_fuzz::ins_pauses;
    return 0;
}

} // namespace

#define sleep counted_pause
#define main  ins_main
#include "ins/test.cpp"
#undef main
#undef sleep

const cgi::Work settings_fuzz::ins = work;
