#include "Portable.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

// KX_HAVE_* come from cmake/KxPortable.cmake.

namespace Portable {

namespace {

// The POSIX way: a second name for the file (refused when `to` exists),
// then the old name removed. If the old name cannot be removed, the new one
// is taken back, so either the rename happened or nothing did.
int LinkThenUnlink(const char* from, const char* to) {
    if (::link(from, to) != 0) {
        int code = errno;
        // File systems without hard links (FAT, some network shares).
        if (code == EPERM || code == EOPNOTSUPP || code == ENOTSUP || code == EMLINK)
            return ENOTSUP;
        return code;
    }
    if (::unlink(from) != 0) {
        int code = errno;
        ::unlink(to);
        return code;
    }
    return 0;
}

} // namespace

int RenameNoReplace(const char* from, const char* to) {
#if defined(KX_HAVE_RENAMEAT2)
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS) // else: not offered by this file system or kernel
        return errno;
    return LinkThenUnlink(from, to);
#elif defined(KX_HAVE_RENAMEX_NP)
    if (::renamex_np(from, to, RENAME_EXCL) == 0)
        return 0;
    if (errno != ENOTSUP && errno != EINVAL)
        return errno;
    return LinkThenUnlink(from, to);
#else
    return LinkThenUnlink(from, to);
#endif
}

int PipeCloseOnExec(int ends[2]) {
#if defined(KX_HAVE_PIPE2)
    return ::pipe2(ends, O_CLOEXEC) == 0 ? 0 : errno;
#else
    if (::pipe(ends) != 0)
        return errno;
    for (int i = 0; i < 2; ++i) {
        if (::fcntl(ends[i], F_SETFD, FD_CLOEXEC) != 0) {
            int code = errno;
            ::close(ends[0]);
            ::close(ends[1]);
            return code;
        }
    }
    return 0;
#endif
}

void AdviseSequential(int fd) {
#if defined(KX_HAVE_POSIX_FADVISE)
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#else
    (void)fd;
#endif
}

timespec ModifiedTime(const struct stat& status) {
#if defined(KX_HAVE_STAT_MTIMESPEC)
    return status.st_mtimespec;
#else
    return status.st_mtim;
#endif
}

timespec ChangedTime(const struct stat& status) {
#if defined(KX_HAVE_STAT_MTIMESPEC)
    return status.st_ctimespec;
#else
    return status.st_ctim;
#endif
}

const char* Implementations() {
    return
#if defined(KX_HAVE_RENAMEAT2)
        "renameat2"
#elif defined(KX_HAVE_RENAMEX_NP)
        "renamex_np"
#else
        "link+unlink"
#endif
#if defined(KX_HAVE_PIPE2)
        " pipe2"
#else
        " pipe+FD_CLOEXEC"
#endif
#if defined(KX_HAVE_POSIX_FADVISE)
        " posix_fadvise";
#else
        " none";
#endif
}

} // namespace Portable
