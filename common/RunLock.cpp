#include "common/RunLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

RunLock::RunLock(const char* folder) {
    const int dir = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return; // cannot lock here: run unguarded rather than not at all
    if (::flock(dir, LOCK_EX | LOCK_NB) != 0) {
        busy = (errno == EWOULDBLOCK);
        ::close(dir);
        return;
    }
    fd = dir;
}

RunLock::~RunLock() {
    if (fd >= 0)
        ::close(fd);
}
