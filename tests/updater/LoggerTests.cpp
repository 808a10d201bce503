// The updater's daily log: line format, appending, read-back and pruning.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <regex>

#include <sys/stat.h>

#include "common/LocalTime.h"
#include "updater/Logger.h"
#include "tests/updater/TestServer.h"

namespace {

using namespace kxtest;

std::string TodayFile() { return LocalTime::Now("updatelog/kxupd_%Y%m%d.log"); }

class LoggerTest : public ::testing::Test {
protected:
    TempFolder dir;
    ScopedWorkDir here{dir.path()};
};

TEST_F(LoggerTest, LinesAreStampPipeDashPipeMessageCutTo199BytesOnOneLine) {
    Logger::Delete();
    Logger::Start(true);
    Logger::Write("DownloadList: from:%s port:%d ssl:%d", "host", 8080, 1);
    Logger::Write("%s", std::string(250, 'x').c_str());
    Logger::Write("100%% literal %s", "50% done");
    Logger::Write("ends with a line feed\n");
    Logger::Stop();

    std::string text = readFile(TodayFile());
    std::regex line(R"((\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)\|-\|([^\n]*)\n)");
    std::vector<std::string> messages;
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it)
        messages.push_back((*it)[2]);
    ASSERT_EQ(messages.size(), 4u) << text;
    EXPECT_EQ(messages[0], "DownloadList: from:host port:8080 ssl:1");
    EXPECT_EQ(messages[1], std::string(199, 'x'));
    EXPECT_EQ(messages[2], "100% literal 50% done");
    // A control character in a message is escaped: the line stays one line.
    EXPECT_EQ(messages[3], "ends with a line feed\\n");
}

TEST_F(LoggerTest, SecondRunOfTheDayAppendsAndGetReadsItAllBack) {
    for (const char* run : {"first run", "second run"}) {
        Logger::Delete();
        Logger::Start(true);
        Logger::Write("%s", run);
        std::string text;
        Logger::Get(text);
        EXPECT_NE(text.find(run), std::string::npos);
        Logger::Stop();
    }
    std::vector<std::string> messages = LogMessages(dir.path());
    EXPECT_EQ(messages, (std::vector<std::string>{"first run", "second run"}));
}

TEST_F(LoggerTest, GetLeavesTheTextWhenTodaysFileIsMissing) {
    writeFile("updatelog/kxupd_20000101.log", "an old day\n");
    std::string text = "unchanged";
    Logger::Get(text);
    EXPECT_EQ(text, "unchanged");
}

TEST_F(LoggerTest, DeleteCreatesTheDirectoryWhenMissing) {
    Logger::Delete();
    EXPECT_TRUE(fs::is_directory("updatelog"));
}

TEST_F(LoggerTest, PruningKeepsTheNewest30AndToday) {
    struct Case {
        int logFiles; // kxupd_202401DD.log, DD from 01
        bool extras;  // other files, a "kxupd_" file, a "kxupd_dir" directory
        std::vector<std::string> removed;
    };
    const Case cases[] = {
        {31, false, {"kxupd_20240101.log"}},
        {30, true, {}},
        {29, true, {}},
        {33, false, {"kxupd_20240101.log", "kxupd_20240102.log", "kxupd_20240103.log"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logFiles);
        fs::remove_all("updatelog");
        std::vector<std::string> names;
        for (int day = 0; day < c.logFiles; ++day) {
            std::tm date{};
            date.tm_year = 124;
            date.tm_mon = 0;
            date.tm_mday = day + 1;
            const std::string name = LocalTime::Format(std::mktime(&date), "kxupd_%Y%m%d.log");
            names.push_back(name);
            writeFile(fs::path("updatelog") / name, "x\n");
        }
        if (c.extras) {
            writeFile("updatelog/other.log", "x\n");
            fs::create_directories("updatelog/kxupd_dir");
        }
        Logger::Delete();
        for (const std::string& name : names) {
            bool removed = std::find(c.removed.begin(), c.removed.end(), name) != c.removed.end();
            EXPECT_EQ(fs::exists(fs::path("updatelog") / name), !removed) << name;
        }
        if (c.extras) {
            EXPECT_TRUE(fs::exists("updatelog/other.log"));
            EXPECT_TRUE(fs::is_directory("updatelog/kxupd_dir"));
        }
    }
}

TEST_F(LoggerTest, AFileNamedJustThePrefixCountsAndSortsFirstTodaysFileIsKept) {
    writeFile("updatelog/kxupd_", "x\n");
    for (int day = 1; day <= 30; ++day)
        writeFile("updatelog/kxupd_209903" + std::string(day < 10 ? "0" : "") +
                      std::to_string(day) + ".log",
                  "x\n");
    writeFile(TodayFile(), "today\n");
    Logger::Delete();
    EXPECT_FALSE(fs::exists("updatelog/kxupd_"));
    EXPECT_TRUE(fs::exists(TodayFile()));
    EXPECT_TRUE(fs::exists("updatelog/kxupd_20990301.log"));
}

TEST_F(LoggerTest, FolderAndDailyFileAreForTheOwnerOnly) {
    mode_t previous = ::umask(0);
    Logger::Delete();
    Logger::Start(true);
    Logger::Write("line");
    Logger::Stop();
    ::umask(previous);
    EXPECT_EQ(fs::status("updatelog").permissions() & fs::perms_mask, fs::perms(0700));
    EXPECT_EQ(fs::status(TodayFile()).permissions() & fs::perms_mask, fs::perms(0600));
}

} // namespace
