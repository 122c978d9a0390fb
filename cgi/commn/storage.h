/* Free space of a mounted file system, as the monitor record counts it. */
#ifndef COMMN_STORAGE_H
#define COMMN_STORAGE_H

#ifdef __cplusplus
extern "C" {
#endif

/* Free space available to unprivileged users under mountpoint, in units of 2^20 bytes, counted
 * in whole units of 1024 blocks times whole KiB per block, so it rounds down (and gives 0 on
 * file systems with blocks under 1 KiB). 0 for a null mountpoint, and 0 after
 * perror("statfs failed\n") when the file system cannot be asked. */
float GetMMCFreeSpace(const char *mountpoint);

#ifdef __cplusplus
}
#endif

#endif
