#include "programs.h"

#define main credset_main
#include "credset/test.cpp"
#undef main

const cgi::Work settings_fuzz::credset = work;
