// The stop and start commands as "update.ini" lists them, and how they run.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "updater/Logger.h"
#include "tests/updater/TestServer.h"
#include "updater/Updater.h"

namespace {

using namespace kxtest;

class CommandsTest : public ::testing::Test {
protected:
    // Runs `step` of an Updater reading `update` as "update.ini"; returns the log.
    std::vector<std::string> RunWith(const std::string& update, bool (Updater::*step)()) {
        writeFile(dir.path() / "update.ini", update);
        Logger::Delete();
        Logger::Start(true);
        {
            Updater updater([](unsigned) {});
            (updater.*step)();
        }
        Logger::Stop();
        return LogMessages(dir.path());
    }

    TempFolder dir;
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
    // A tenth key is ignored, and said so.
    std::vector<std::string> nine = {(fs::current_path() / "update.ini").string() +
                                     ": unknown key <Stop/Command10> ignored"};
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

// A process of the test: `program` started with `arguments` through the
// shell, which execs it (so the shell's pid is the program's).
pid_t StartProcess(const std::string& shellLine) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", shellLine.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// The signal that ended the child, 0 when it still runs (it is then killed).
int EndingSignal(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
        ::usleep(20000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return 0;
}

TEST_F(CommandsTest, ProcessEntriesEndTheRunningProcessesOfThatExactName) {
    // Copies of sleep under names of this test only.
    const std::string name = "kxstop" + std::to_string(::getpid());
    for (const std::string& copy : {name, name + ".exe", name + "x"})
        fs::copy_file("/bin/sleep", dir.path() / copy);
    auto started = [&](const std::string& copy, const std::string& prefix = "") {
        pid_t pid = StartProcess(prefix + "exec '" + (dir.path() / copy).string() + "' 60");
        // Up and running under its own name before the updater looks.
        for (int i = 0; i < 200; ++i) {
            if (fs::read_symlink("/proc/" + std::to_string(pid) + "/exe").filename() == copy)
                break;
            ::usleep(10000);
        }
        return pid;
    };

    pid_t plain = started(name), withExe = started(name + ".exe"), longer = started(name + "x");
    EXPECT_EQ(RunWith("<KX><Stop><Command1>" + name + ".exe</Command1></Stop></KX>",
                      &Updater::StopTarget),
              std::vector<std::string>{});
    EXPECT_EQ(EndingSignal(plain), SIGTERM);
    EXPECT_EQ(EndingSignal(withExe), SIGTERM);
    EXPECT_EQ(EndingSignal(longer), 0) << "a longer name is another program";

    // One that ignores TERM gets KILL once the (shortened) grace is over.
    pid_t stubborn = started(name, "trap '' TERM; ");
    setenv("KX_TEST_KILL_GRACE_MS", "200", 1);
    fs::remove_all(dir.path() / "updatelog");
    std::vector<std::string> log = RunWith(
        "<KX><Stop><Command1>" + name + ".exe</Command1></Stop></KX>", &Updater::StopTarget);
    unsetenv("KX_TEST_KILL_GRACE_MS");
    EXPECT_EQ(log, std::vector<std::string>{});
    EXPECT_EQ(EndingSignal(stubborn), SIGKILL);

    // None running: logged as a failure.
    fs::remove_all(dir.path() / "updatelog");
    EXPECT_EQ(RunWith("<KX><Stop><Command1>" + name + ".exe</Command1></Stop></KX>",
                      &Updater::StopTarget),
              std::vector<std::string>{"fail:[" + name + ".exe]"});
}

TEST_F(CommandsTest, ServiceEntriesAreStoppedThroughTheServiceManager) {
    // A systemctl of the test's own, first on the PATH: records its arguments
    // and fails for every service but "kx-inventory.service".
    writeFile(dir.path() / "bin" / "systemctl",
              "#!/bin/sh\nprintf '[%s]' \"$@\" >> '" + (dir.path() / "calls.txt").string() +
                  "'\necho >> '" + (dir.path() / "calls.txt").string() +
                  "'\n[ \"$2\" = kx-inventory.service ] && exit 0\nexit 5\n");
    fs::permissions(dir.path() / "bin" / "systemctl", fs::perms(0755));
    const std::string path = std::getenv("PATH");
    setenv("PATH", ((dir.path() / "bin").string() + ":" + path).c_str(), 1);
    std::vector<std::string> log =
        RunWith("<KX><Stop><Command1>kx-inventory.service</Command1>"
                "<Command2>other service; touch x</Command2></Stop></KX>",
                &Updater::StopTarget);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"fail:[other service; touch x](1280)"}));
    EXPECT_EQ(readFile(dir.path() / "calls.txt"),
              "[stop][kx-inventory.service]\n[stop][other service; touch x]\n");
    EXPECT_FALSE(fs::exists(dir.path() / "x"));
}

TEST_F(CommandsTest, SettingsFilesThatAreNotReadAreNamedInTheLog) {
    writeFile(dir.path() / "config.ini", "[Config]\nServer=update.example\n");
    writeFile(dir.path() / "update.ini",
              "<KX><Update><List>/l</List><Lst>/x</Lst></Update><Stop/><Begin/></KX>");
    Logger::Delete();
    Logger::Start(true);
    {
        Updater updater([](unsigned) {});
    }
    Logger::Stop();
    const std::string workDir = fs::current_path().string();
    EXPECT_EQ(LogMessages(dir.path()),
              (std::vector<std::string>{
                  workDir + "/config.ini: not read as XML (No document element found at line 3, "
                            "column 1); every value keeps its default",
                  workDir + "/update.ini: unknown key <Update/Lst> ignored",
                  workDir + "/update.ini: unknown section <Begin> ignored"}));
}

TEST_F(CommandsTest, EveryExePathMarkIsReplacedByTheWorkingDirectory) {
    std::string workDir = fs::current_path().string();
    std::vector<std::string> log =
        RunWith("<KX><Start><Command1>echo [EXEPATH]+[EXEPATH] &gt; paths.txt</Command1>"
                "<Command2>echo unchanged &gt; plain.txt</Command2>"
                "<Command3>exit 3</Command3></Start></KX>",
                &Updater::StartTarget);
    EXPECT_EQ(readFile("paths.txt"), workDir + "+" + workDir + "\n");
    EXPECT_EQ(readFile("plain.txt"), "unchanged\n");
    EXPECT_EQ(log, (std::vector<std::string>{"fail:[exit 3](768)"}));
}

} // namespace
