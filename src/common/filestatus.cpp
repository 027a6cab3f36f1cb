// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/filestatus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

bool StatFile(int dirFd, const char* path, int flags, FileStatus& status) {
    struct statx stx {};
    if (::statx(dirFd, path, flags, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0)
        return false;
    auto time = [](const statx_timestamp& t) { return FileStatus::Time{t.tv_sec, t.tv_nsec}; };
    status.mode = stx.stx_mode;
    status.owner = stx.stx_uid;
    status.group = stx.stx_gid;
    status.size = int64_t(stx.stx_size);
    status.modified = time(stx.stx_mtime);
    status.accessed = time(stx.stx_atime);
    status.born = time((stx.stx_mask & STATX_BTIME) ? stx.stx_btime : stx.stx_ctime);
    status.device = makedev(stx.stx_dev_major, stx.stx_dev_minor);
    status.inode = stx.stx_ino;
    return true;
}
