// The stop and start commands as "update.ini" lists them, and how they run.

#include <gtest/gtest.h>

#include "Logger.h"
#include "TestServer.h"
#include "Updater.h"

namespace {

using namespace kxtest;

class CommandsTest : public ::testing::Test {
protected:
    // Runs `step` of an Updater reading `update` as "update.ini"; returns the log.
    std::vector<std::string> RunWith(const std::string& update, bool (Updater::*step)()) {
        WriteFile(dir.path() / "update.ini", update);
        Logger::Delete();
        Logger::Start(true);
        {
            Updater updater([](unsigned) {});
            (updater.*step)();
        }
        Logger::Stop();
        return LogMessages(dir.path());
    }

    TempDir dir;
    ScopedWorkDir here{dir.path()};
};

TEST_F(CommandsTest, StopEntriesEndAtTheFirstGapAndAfterTheNinth) {
    struct Case {
        std::string keys;
        std::vector<std::string> logged;
    };
    std::string ten;
    for (int i = 1; i <= 10; ++i)
        ten += "<Command" + std::to_string(i) + ">s" + std::to_string(i) + ".exe</Command" +
               std::to_string(i) + ">";
    std::vector<std::string> nine;
    for (int i = 1; i <= 9; ++i)
        nine.push_back("fail:[s" + std::to_string(i) + ".exe]");
    const Case cases[] = {
        {"<Command2>s2.exe</Command2>", {}},
        {"<Command1>s1.exe</Command1><Command2></Command2><Command3>s3.exe</Command3>",
         {"fail:[s1.exe]"}},
        {ten, nine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        fs::remove_all(dir.path() / "updatelog");
        EXPECT_EQ(RunWith("<KX><Stop>" + c.keys + "</Stop></KX>", &Updater::StopTarget), c.logged);
    }
}

TEST_F(CommandsTest, ServiceNamesAreStoppedThroughNetExeAndLoggedWithTheWaitStatus) {
    EXPECT_EQ(RunWith("<KX><Stop><Command1>agentsvc 2&gt;/dev/null</Command1></Stop></KX>",
                      &Updater::StopTarget),
              (std::vector<std::string>{"fail:[agentsvc 2>/dev/null](32512)"}));
}

TEST_F(CommandsTest, EveryExePathMarkIsReplacedByTheWorkingDirectory) {
    std::string workDir = fs::current_path().string();
    std::vector<std::string> log =
        RunWith("<KX><Start><Command1>echo [EXEPATH]+[EXEPATH] &gt; paths.txt</Command1>"
                "<Command2>echo unchanged &gt; plain.txt</Command2>"
                "<Command3>exit 3</Command3></Start></KX>",
                &Updater::StartTarget);
    EXPECT_EQ(ReadFile("paths.txt"), workDir + "+" + workDir + "\n");
    EXPECT_EQ(ReadFile("plain.txt"), "unchanged\n");
    EXPECT_EQ(log, (std::vector<std::string>{"fail:[exit 3](768)"}));
}

} // namespace
