#pragma once
// The few system calls both programs need beyond POSIX, each behind one
// function. Which implementation is compiled is decided when the build is
// configured (cmake/KxPortable.cmake): the Linux call where it exists, the
// macOS one where that exists, otherwise plain POSIX. -DKX_PORTABLE=ON
// compiles the plain POSIX paths on Linux too, so the tests run the code a
// system without the Linux calls compiles.

#include <sys/stat.h>
#include <time.h>

namespace Portable {

// Creates a pipe whose two ends are closed on exec. Returns 0 or errno.
//   Linux: pipe2(O_CLOEXEC); POSIX: pipe() then FD_CLOEXEC on each end (a
//   program forking at the same moment in another thread could inherit them;
//   both programs are single-threaded).
int PipeCloseOnExec(int ends[2]);

// Tells the system the file will be read once from start to end. A hint
// only: nothing where the system has no such call.
//   Linux: posix_fadvise(POSIX_FADV_SEQUENTIAL); elsewhere: nothing.
void AdviseSequential(int fd);

// A file's last modification and last status change, to the nanosecond
// where the file system keeps them.
//   POSIX: st_mtim, st_ctim; macOS: st_mtimespec, st_ctimespec.
timespec ModifiedTime(const struct stat& status);
timespec ChangedTime(const struct stat& status);

// The implementations compiled in, e.g. "pipe2 posix_fadvise" or
// "pipe+FD_CLOEXEC none": for tests and build logs.
const char* Implementations();

} // namespace Portable
