#include "programs.h"

#define main ddns_main
#include "ddns/test.cpp"
#undef main

const cgi::Work settings_fuzz::ddns = work;
