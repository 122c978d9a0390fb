#include "programs.h"

#define main tunnex_main
#include "tunnex/test.cpp"
#undef main

const cgi::Work settings_fuzz::tunnex = work;
