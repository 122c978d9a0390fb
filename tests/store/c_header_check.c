/* The store's headers are shared with the receiver daemon, which is C: this unit only has to
 * compile, with every layout check in the headers, under the C compiler. */
#include "sharememory.h"
