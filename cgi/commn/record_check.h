/* Compile-time checks of the shared records' layouts. The records are a wire format shared with
 * the receiver daemon, so a moved field must break the build rather than the device. Usable
 * from C99 (GCC accepts _Static_assert there) and from C++. */
#ifndef COMMN_RECORD_CHECK_H
#define COMMN_RECORD_CHECK_H

#include <stddef.h>

#ifdef __cplusplus
#define RECORD_ASSERT(condition, text) static_assert(condition, text)
#else
#define RECORD_ASSERT(condition, text) _Static_assert(condition, text)
#endif

#define RECORD_SIZE(type, size) \
    RECORD_ASSERT(sizeof(type) == (size), #type " must be " #size " bytes")
#define RECORD_ALIGN(type, alignment) \
    RECORD_ASSERT(__alignof__(type) == (alignment), #type " must be aligned to " #alignment)
#define RECORD_AT(type, member, offset) \
    RECORD_ASSERT(offsetof(type, member) == (offset), #type "." #member " must be at " #offset)

#endif
