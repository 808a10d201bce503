// The calls beyond POSIX, whichever implementation the build compiled
// (scripts/test.sh runs these once with the Linux calls and once, in the
// sanitizer build, with -DKX_PORTABLE=ON).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "Portable.h"

namespace fs = boost::filesystem;

namespace {

class RenameNoReplace : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / fs::unique_path("kx-portable-%%%%-%%%%");
        fs::create_directories(dir);
        RecordProperty("compiled", Portable::Implementations());
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir;
};

TEST_F(RenameNoReplace, MovesTheFileToAFreeName) {
    write("staged", "new");
    EXPECT_EQ(Portable::RenameNoReplace(path("staged").c_str(), path("target").c_str()), 0);
    EXPECT_FALSE(fs::exists(path("staged")));
    EXPECT_EQ(read("target"), "new");
}

TEST_F(RenameNoReplace, NeverReplacesAnExistingNameAndLeavesBothAsTheyWere) {
    write("staged", "new");
    write("target", "old");
    EXPECT_EQ(Portable::RenameNoReplace(path("staged").c_str(), path("target").c_str()), EEXIST);
    EXPECT_EQ(read("staged"), "new");
    EXPECT_EQ(read("target"), "old");
}

TEST_F(RenameNoReplace, ReportsTheSystemsReasonForAMissingSourceOrFolder) {
    EXPECT_EQ(Portable::RenameNoReplace(path("absent").c_str(), path("target").c_str()), ENOENT);
    write("staged", "new");
    EXPECT_EQ(Portable::RenameNoReplace(path("staged").c_str(), path("no/target").c_str()), ENOENT);
    EXPECT_EQ(read("staged"), "new");
}

TEST(PipeCloseOnExec, BothEndsAreClosedOnExecAndCarryData) {
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

} // namespace
