// Reading input files: only regular files of bounded size, links followed
// only when asked, refusals reported once through the RefusalLog in scope.

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "common/InputFile.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = boost::filesystem;
using inputfile::Contents;
using inputfile::Links;
using Status = Contents::Status;

using kxtest::writeFile;

class InputFile : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder);
        writeFile(base / "outside", "outside text\n");
    }

    const kxtest::TempFolder temporary{"kx-input"};
    const fs::path base = temporary.path();
    const fs::path folder = base / "result";
};

struct Case {
    const char* what;
    void (*arrange)(const fs::path& file, const fs::path& base);
    Links links;
    Status status;
    const char* reasonOrBytes; // the reason when refused, the content when read
};

TEST_F(InputFile, OnlyRegularFilesWithinTheLimitAreRead) {
    const auto regular = [](const fs::path& f, const fs::path&) { writeFile(f, "line 1\nline 2"); };
    const auto linkOut = [](const fs::path& f, const fs::path& b) {
        fs::create_symlink(b / "outside", f);
    };
    const auto fifo = [](const fs::path& f, const fs::path&) {
        ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0);
    };
    const std::vector<Case> cases = {
        {"regular file", regular, Links::NotFollowed, Status::Read, "line 1\nline 2"},
        {"empty file", [](const fs::path& f, const fs::path&) { writeFile(f, ""); },
         Links::NotFollowed, Status::Read, ""},
        {"exactly at the limit",
         [](const fs::path& f, const fs::path&) { writeFile(f, std::string(16, 'x')); },
         Links::NotFollowed, Status::Read, "xxxxxxxxxxxxxxxx"},
        {"missing", [](const fs::path&, const fs::path&) {}, Links::NotFollowed, Status::Missing,
         ""},
        {"one byte over the limit",
         [](const fs::path& f, const fs::path&) { writeFile(f, std::string(17, 'x')); },
         Links::NotFollowed, Status::Refused, "larger than 16 bytes"},
        {"link to a file outside", linkOut, Links::NotFollowed, Status::Refused,
         "a symbolic link, not followed"},
        {"link followed when asked", linkOut, Links::Followed, Status::Read, "outside text\n"},
        {"dangling link",
         [](const fs::path& f, const fs::path& b) { fs::create_symlink(b / "nothing", f); },
         Links::NotFollowed, Status::Refused, "a symbolic link, not followed"},
        {"link to /dev/zero followed",
         [](const fs::path& f, const fs::path&) { fs::create_symlink("/dev/zero", f); },
         Links::Followed, Status::Refused, "not a regular file"},
        {"fifo opens without blocking", fifo, Links::NotFollowed, Status::Refused,
         "not a regular file"},
        {"folder", [](const fs::path& f, const fs::path&) { fs::create_directory(f); },
         Links::NotFollowed, Status::Refused, "Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = folder / "input";
        fs::remove_all(file);
        c.arrange(file, base);
        const Contents read = inputfile::readRegularFile(file.string(), 16, c.links);
        EXPECT_EQ(read.status, c.status);
        if (c.status == Status::Read) {
            EXPECT_EQ(read.bytes, c.reasonOrBytes);
        }
        if (c.status == Status::Refused) {
            EXPECT_EQ(read.reason, c.reasonOrBytes);
        }
    }
}

TEST_F(InputFile, FolderThatIsNoFolderMeansMissing) {
    writeFile(base / "plain", "x");
    EXPECT_EQ(
        inputfile::readRegularFile((base / "plain" / "input").string(), 16, Links::NotFollowed)
            .status,
        Status::Missing);
}

TEST_F(InputFile, LimitsAreStatedInMebibytes) {
    writeFile(folder / "big", "");
    fs::resize_file(folder / "big", inputfile::kTextLimit + 1);
    EXPECT_EQ(inputfile::readRegularFile((folder / "big").string(), inputfile::kTextLimit,
                                         Links::NotFollowed)
                  .reason,
              "larger than 16 MiB");
}

TEST_F(InputFile, EachRefusedInputIsReportedOnceToTheInnermostLog) {
    fs::create_directory(folder / "app");
    fs::create_symlink(base / "outside", folder / "os\nforged");
    writeFile(folder / "hostname", "mac01\n");
    std::vector<std::string> outer;
    std::vector<std::string> inner;
    {
        const inputfile::RefusalLog outerLog(
            [&](const std::string& line) { outer.push_back(line); });
        EXPECT_FALSE(inputfile::readInput((folder / "app").string(), 100));
        {
            const inputfile::RefusalLog innerLog(
                [&](const std::string& line) { inner.push_back(line); });
            EXPECT_FALSE(inputfile::readInput((folder / "os\nforged").string(), 100));
            EXPECT_FALSE(inputfile::readInput((folder / "os\nforged").string(), 100));
            EXPECT_FALSE(inputfile::readInput((folder / "missing").string(), 100));
            EXPECT_EQ(inputfile::readInput((folder / "hostname").string(), 100),
                      std::string("mac01\n"));
        }
        EXPECT_FALSE(inputfile::readInput((folder / "app").string(), 100));
    }
    EXPECT_FALSE(
        inputfile::readInput((folder / "app").string(), 100)); // no log in scope: not reported
    EXPECT_EQ(outer, std::vector<std::string>{"input refused: " + (folder / "app").string() +
                                              ": Is a directory"});
    EXPECT_EQ(inner, std::vector<std::string>{"input refused: " + folder.string() +
                                              "/os\\nforged: a symbolic link, not followed"});
}

TEST(SplitLines, AsGetlineReadsThem) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(inputfile::splitLines(""), Lines{});
    EXPECT_EQ(inputfile::splitLines("\n"), Lines{""});
    EXPECT_EQ(inputfile::splitLines("a\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(inputfile::splitLines("a\r\n\nb\n"), (Lines{"a\r", "", "b"}));
}

} // namespace
