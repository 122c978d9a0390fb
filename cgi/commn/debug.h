/* The store's debug levels; the store is built at one of them. */
#ifndef COMMN_DEBUG_H
#define COMMN_DEBUG_H

enum debug_level {
    DEBUG_LEVEL_DISABLE = 0,
    DEBUG_LEVEL_ERR = 1,
    DEBUG_LEVEL_INFO = 2,
    DEBUG_LEVEL_DEBUG = 3
};

#endif
