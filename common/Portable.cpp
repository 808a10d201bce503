#include "common/Portable.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

// KX_HAVE_* come from cmake/KxPortable.cmake.

namespace Portable {

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
#if defined(KX_HAVE_PIPE2)
        "pipe2"
#else
        "pipe+FD_CLOEXEC"
#endif
#if defined(KX_HAVE_POSIX_FADVISE)
        " posix_fadvise";
#else
        " none";
#endif
}

} // namespace Portable
