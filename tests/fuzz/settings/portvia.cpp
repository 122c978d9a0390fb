#include "programs.h"

#define main portvia_main
#include "portvia/test.cpp"
#undef main

const cgi::Work settings_fuzz::portvia = work;
