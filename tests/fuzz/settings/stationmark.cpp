#include "programs.h"

#define main stationmark_main
#include "stationmark/test.cpp"
#undef main

const cgi::Work settings_fuzz::stationmark = work;
