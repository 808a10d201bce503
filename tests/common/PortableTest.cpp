// The calls beyond POSIX, whichever implementation the build compiled
// (scripts/test.sh runs these once with the Linux calls and once, in the
// sanitizer build, with -DKX_PORTABLE=ON).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "common/Portable.h"

namespace {

TEST(PipeCloseOnExec, BothEndsAreClosedOnExecAndCarryData) {
    RecordProperty("compiled", Portable::Implementations());
    int ends[2];
    ASSERT_EQ(Portable::PipeCloseOnExec(ends), 0);
    for (int end : ends)
        EXPECT_NE(::fcntl(end, F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(::write(ends[1], "x", 1), 1);
    char got = 0;
    EXPECT_EQ(::read(ends[0], &got, 1), 1);
    EXPECT_EQ(got, 'x');
    ::close(ends[0]);
    ::close(ends[1]);
}

TEST(AdviseSequential, IsOnlyAHintEvenForABadDescriptor) {
    Portable::AdviseSequential(-1); // must neither fail nor crash
}

TEST(FileTimes, AreTheFileSystemsToTheNanosecond) {
    char name[] = "/tmp/kx-portable-XXXXXX";
    int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    const timespec times[2] = {{1700000000, 123456789},
                               {1700000100, 987654321}}; // access, modification
    ASSERT_EQ(::futimens(fd, times), 0);
    struct stat status;
    ASSERT_EQ(::fstat(fd, &status), 0);
    ::close(fd);
    ::unlink(name);
    const timespec modified = Portable::ModifiedTime(status);
    EXPECT_EQ(modified.tv_sec, 1700000100);
    if (modified.tv_nsec != 0) { // a file system without nanoseconds keeps 0
        EXPECT_EQ(modified.tv_nsec, 987654321);
    }
    const timespec changed = Portable::ChangedTime(status);
    EXPECT_GE(changed.tv_sec, 1700000100); // set by the system: now
}

} // namespace
