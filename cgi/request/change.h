/* A change of one configuration entry that the receiver daemon must be told of. The entry is
 * written only once the mailbox is idle, so the post that follows rarely has to wait; when the
 * post cannot be made, the copy that was read is put back, unless the entry has changed since
 * (the daemon or another request), so the record never keeps a change nobody announced. */
#ifndef REQUEST_CHANGE_H
#define REQUEST_CHANGE_H

#include "sharememory.h"

namespace cgi {

/* Waits for an idle mailbox, then writes `after`. False when it gave up or lost a lock: then
 * nothing was written. */
bool write_change(CONFIG_ENTRY entry, const void *after);

/* Posts `operation` for the change written by write_change. False when nothing was posted;
 * `before` (the entry as read) is then put back if the entry still holds `after`. */
bool post_change(CONFIG_ENTRY entry, const void *before, const void *after,
                 OPERATE_ENTRY operation);

/* Both, for a change that needs nothing between writing and posting. */
inline bool announce_change(CONFIG_ENTRY entry, const void *before, const void *after,
                            OPERATE_ENTRY operation)
{
    return write_change(entry, after) && post_change(entry, before, after, operation);
}

} // namespace cgi

#endif
