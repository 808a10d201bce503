// Which daily logs both programs keep, and the files only their owner may read.

#include <sys/stat.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "common/LogRetention.h"
#include "common/PrivateFile.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

namespace fs = boost::filesystem;

namespace {

// "kxinv_" and the date of day `n` counted from 2024-01-01 (n from 1).
std::string Day(int n) {
    const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 0;
    while (n > days[month])
        n -= days[month++];
    char name[32];
    std::snprintf(name, sizeof name, "kxinv_2024%02d%02d.log", month + 1, n);
    return name;
}

std::vector<std::string> Days(int from, int to) {
    std::vector<std::string> names;
    for (int n = from; n <= to; ++n)
        names.push_back(Day(n));
    return names;
}

TEST(LogRetention, KeepsTheNewest30AndToday) {
    struct Case {
        const char* what;
        std::vector<std::string> names;
        std::string today;
        std::vector<std::string> expired;
    };
    std::vector<std::string> shuffled = Days(1, 35);
    std::reverse(shuffled.begin(), shuffled.end());
    std::swap(shuffled[3], shuffled[30]);
    const std::vector<Case> cases = {
        {"35 days: the five oldest go", Days(1, 35), Day(35), Days(1, 5)},
        {"the order of the listing does not matter", shuffled, Day(35), Days(1, 5)},
        {"30 days: none go", Days(1, 30), Day(30), {}},
        {"31 days spanning a month: the oldest goes", Days(20, 50), Day(50), {Day(20)}},
        {"today's among the oldest (clock set back) stays",
         Days(1, 35),
         Day(2),
         {Day(1), Day(3), Day(4), Day(5)}},
        {"today's not there yet", Days(1, 31), Day(32), {Day(1)}},
        {"a name listed twice counts once",
         [] {
             auto n = Days(1, 30);
             n.push_back(Day(30));
             return n;
         }(),
         Day(30),
         {}},
        {"the bare prefix sorts first",
         [] {
             auto n = Days(1, 30);
             n.push_back("kxinv_");
             return n;
         }(),
         Day(30),
         {"kxinv_"}},
        {"nothing", {}, Day(1), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(LogRetention::Expired(c.names, c.today), c.expired);
    }
}

class PrivateFiles : public ::testing::Test {
protected:
    void TearDown() override { ::umask(previousMask); }
    static void Write(const fs::path& file, const std::string& text) {
        kxtest::writeFile(file, text);
    }
    static std::string Read(const fs::path& file) { return kxtest::readFile(file); }
    static unsigned Mode(const fs::path& path) {
        struct stat info;
        return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
    }

    mode_t previousMask = ::umask(022);
    const kxtest::TempFolder folder{"kx-common"};
    const fs::path dir = folder.path();
};

TEST_F(PrivateFiles, LogRetentionPruneDeletesOnlyExpiredLogFilesOfThePrefix) {
    for (const std::string& name : Days(1, 33))
        Write(dir / name, "x\n");
    Write(dir / "KXINV_20240101.log", "other case\n");
    Write(dir / "kxupd_20240101.log", "other program\n");
    fs::create_directories(dir / "kxinv_20230101.log"); // a folder is neither counted nor deleted
    LogRetention::Prune(dir.string(), "kxinv_", Day(33));

    std::vector<std::string> left;
    for (fs::directory_iterator it(dir), end; it != end; ++it)
        left.push_back(it->path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {"KXINV_20240101.log", "kxinv_20230101.log"};
    for (const std::string& name : Days(4, 33))
        expected.push_back(name);
    expected.push_back("kxupd_20240101.log");
    EXPECT_EQ(left, expected);
}

TEST_F(PrivateFiles, FilesAndFoldersAreCreatedForTheOwnerOnlyWhateverTheUmask) {
    ::umask(0);
    ASSERT_TRUE(PrivateFile::MakeFolder((dir / "a" / "b").string()));
    EXPECT_EQ(Mode(dir / "a"), 0700u);
    EXPECT_EQ(Mode(dir / "a" / "b"), 0700u);
    EXPECT_TRUE(PrivateFile::MakeFolder((dir / "a").string())); // an existing folder is fine

    ASSERT_TRUE(PrivateFile::Append((dir / "log").string(), "one\n"));
    ASSERT_TRUE(PrivateFile::Append((dir / "log").string(), "two\n"));
    EXPECT_EQ(Read(dir / "log"), "one\ntwo\n");
    EXPECT_EQ(Mode(dir / "log"), 0600u);

    ASSERT_TRUE(PrivateFile::Touch((dir / "touched").string()));
    ASSERT_TRUE(PrivateFile::Touch((dir / "log").string()));
    EXPECT_EQ(Read(dir / "log"), "one\ntwo\n");
    EXPECT_EQ(Mode(dir / "touched"), 0600u);

    Write(dir / "wide", "old content that is longer");
    fs::permissions(dir / "wide", fs::perms(0644));
    ASSERT_TRUE(PrivateFile::Replace((dir / "wide").string(), "new"));
    EXPECT_EQ(Read(dir / "wide"), "new");
    EXPECT_EQ(Mode(dir / "wide"), 0600u);

    ASSERT_TRUE(PrivateFile::ReplaceAtomically((dir / "status.json").string(), "{}\n"));
    ASSERT_TRUE(PrivateFile::ReplaceAtomically((dir / "status.json").string(), "{\"a\":1}\n"));
    EXPECT_EQ(Read(dir / "status.json"), "{\"a\":1}\n");
    EXPECT_EQ(Mode(dir / "status.json"), 0600u);
}

TEST_F(PrivateFiles, FailuresGiveTheSystemsReasonAndLeaveNothingBehind) {
    std::string error;
    Write(dir / "file", "x");
    EXPECT_FALSE(PrivateFile::MakeFolder((dir / "file" / "sub").string(), &error));
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;

    fs::create_directories(dir / "folder");
    EXPECT_FALSE(PrivateFile::ReplaceAtomically((dir / "folder").string(), "{}", &error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    EXPECT_FALSE(PrivateFile::Append((dir / "missing" / "log").string(), "x", &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    std::vector<std::string> left;
    for (fs::directory_iterator it(dir), end; it != end; ++it)
        left.push_back(it->path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"file", "folder"}));
}

TEST_F(PrivateFiles, IsoTimeCarriesTheOffset) {
    const std::string text = PrivateFile::IsoTime(std::time(nullptr));
    EXPECT_TRUE(
        std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << text;
}

} // namespace
