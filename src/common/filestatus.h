// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the kernel keeps of one file, from one statx: the reader takes it from the file it has
// open, the folder search from the entry it looks up, so that no file is asked twice.

#include <cstdint>

struct FileStatus {
    struct Time {
        int64_t seconds = 0; // since the epoch
        uint32_t nanoseconds = 0;
    };
    uint32_t mode = 0; // type and permission bits, as st_mode
    uint32_t owner = 0;
    uint32_t group = 0;
    int64_t size = 0;
    Time modified;
    Time accessed;
    Time born; // the birth time, or the change time where the file system keeps none
    uint64_t device = 0;
    uint64_t inode = 0;
};

// statx of path relative to dirFd (links followed), flags added to the call's; false with
// errno set when it fails. With AT_EMPTY_PATH and "" it tells of the open file dirFd.
bool StatFile(int dirFd, const char* path, int flags, FileStatus& status);
