// Both programs against a server that is hostile on one kind of request:
// every run ends within its (shortened) bounds, stays small, leaves nothing
// partial behind and says "end".

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <boost/filesystem.hpp>
#include <openssl/evp.h>

#include "common/Version.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"
#include "tests/transfer/HostileServer.h"

namespace {

namespace fs = boost::filesystem;
using kxtest::HostileServer;
using kxtest::Hostility;
using kxtest::lines;
using kxtest::readFile;
using kxtest::writeFile;
using Clock = std::chrono::steady_clock;

// connect, stall, document and file base, in seconds.
const char* const kShortBounds = "2,1,3,3";
const long kDocumentSeconds = 3;
const long kPeakKiB = 64 * 1024;

std::string md5(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr);
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    return hex;
}

struct Ended {
    std::vector<std::string> out;
    double seconds;
    long peakKiB;
    bool ended;
    // For a run that had to be killed: where each of its threads waited.
    std::string stuck;
};

// Where each thread of a process that does not end waits, read before it is
// killed: the kernel function, the system call and, for root, the stack.
std::string whereStuck(pid_t pid) {
    std::string report;
    const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
    boost::system::error_code error;
    for (const fs::directory_entry& task : fs::directory_iterator(tasks, error)) {
        report += "thread " + task.path().filename().string() + ": wchan " +
                  readFile(task.path() / "wchan") + ", syscall " +
                  readFile(task.path() / "syscall");
        report += readFile(task.path() / "stack") + "\n";
    }
    return report;
}

// `program` with the argument "tmp" in `home`, with the short bounds; killed
// after `limit`.
Ended runProgram(const fs::path& home, const std::string& program, std::chrono::seconds limit,
                 const char* hook = nullptr) {
    // All the child needs is made before the fork: this process has a server
    // thread, and the child of a threaded process may only make system calls
    // until it executes the program.
    std::vector<std::string> settings = {"KX_TEST_TRANSFER_BOUNDS=" + std::string(kShortBounds),
                                         "KX_TEST_NO_PAUSES=1"};
    if (hook) {
        // "NAME" sets NAME to 1; "NAME=VALUE" sets VALUE.
        const std::string setting = hook;
        settings.push_back(setting.find('=') == std::string::npos ? setting + "=1" : setting);
    }
    for (char** variable = environ; *variable; ++variable)
        settings.push_back(*variable);
    std::vector<char*> environment;
    for (std::string& setting : settings)
        environment.push_back(&setting[0]);
    environment.push_back(nullptr);
    const std::string path = std::string(KX_BINARY_DIR) + "/" + program;
    std::string name = program, argument = "tmp";
    char* const arguments[] = {&name[0], &argument[0], nullptr};
    const fs::path out = home / "stdout.txt";
    const int output = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (output < 0)
        return {{}, 0, 0, false, "cannot create " + out.string()};

    const auto started = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (::chdir(home.c_str()) != 0 || ::dup2(output, STDOUT_FILENO) < 0)
            _exit(126);
        ::execve(path.c_str(), arguments, environment.data());
        _exit(127);
    }
    ::close(output);
    int status = -1;
    rusage usage{};
    bool ended = true;
    std::string stuck;
    while (wait4(child, &status, WNOHANG, &usage) == 0) {
        if (Clock::now() - started > limit) {
            stuck = whereStuck(child);
            kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            ended = false;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return {lines(readFile(out)), seconds, usage.ru_maxrss,
            ended && WIFEXITED(status) && WEXITSTATUS(status) == 0, stuck};
}

// Every log file the run left in `folder`, for the message of a failure.
std::string logsIn(const fs::path& folder) {
    std::string text;
    boost::system::error_code error;
    for (const fs::directory_entry& file : fs::directory_iterator(folder, error))
        text += file.path().filename().string() + ":\n" + readFile(file.path());
    return text;
}

// The test's name, fit for a folder name.
std::string testName() {
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', '_');
    return test;
}

class Installation : public ::testing::Test {
protected:
    const kxtest::TempFolder folder{"kx-hostile-" + testName()};
    const fs::path home = folder.path();
};

// ---- The updater: list, digest, module, completion report, log upload ----

struct UpdaterKind {
    const char* name;
    const char* hostilePrefix;
    // The attempts the run makes of this request at most.
    int attempts;
    // The installed file is replaced before this request.
    bool replacedBefore;
    // What a failed transfer of this request must not leave (below updatetmp/).
    const char* partial;
};

const UpdaterKind kUpdaterKinds[] = {
    {"List", "/list.txt", 5, false, "list.txt"}, {"Digest", "/list.md5", 5, false, nullptr},
    {"Module", "/modules/", 5, false, "a.dat"},  {"Completion", "/complete/", 5, true, nullptr},
    {"LogUpload", "/upload/", 1, true, nullptr},
};

const Hostility kHostilities[] = {Hostility::Drip, Hostility::Endless, Hostility::Huge,
                                  Hostility::StallAfterHeaders, Hostility::Garbage};

class UpdaterAgainstHostileServer
    : public Installation,
      public ::testing::WithParamInterface<std::tuple<UpdaterKind, Hostility>> {};

TEST_P(UpdaterAgainstHostileServer, EndsInTimeSmallWithNothingPartialLeft) {
    const UpdaterKind kind = std::get<0>(GetParam());
    const std::string module = "the new module";
    const std::string list = "a.dat|0|.|" + md5(module) + "|0\n";
    HostileServer server(std::get<1>(GetParam()), kind.hostilePrefix,
                         {{"/list.txt", list},
                          {"/list.md5", md5(list)},
                          {"/modules/a.dat", module},
                          {"/complete/7/0", "done"}});
    writeFile(home / "config.ini", "<KX><Config><Server>127.0.0.1</Server><Port>" +
                                       std::to_string(server.port()) +
                                       "</Port><HostID>7</HostID><SSL>0</SSL></Config></KX>\n");
    writeFile(home / "update.ini",
              "<KX><Update><List>/list.txt</List><ListHash>/list.md5</ListHash>"
              "<Modules>/modules</Modules><Complete>/complete</Complete><Log>/upload</Log>"
              "<MaxFileMB>4</MaxFileMB></Update></KX>\n");
    writeFile(home / "a.dat", "the old module");

    const Ended run = runProgram(home, "KX_Updater", std::chrono::seconds(120));
    SCOPED_TRACE("the updater's log:\n" + logsIn(home / "updatelog"));

    ASSERT_TRUE(run.ended) << "after " << run.seconds << " s\n" << run.stuck;
    EXPECT_EQ(run.out, (std::vector<std::string>{"start", "end"}));
    // Each attempt within the document bound (a module file of at most 4 MiB
    // within its own bound, as short), with a few seconds for the rest of the run.
    EXPECT_LT(run.seconds, kind.attempts * (kDocumentSeconds + 1) + 10);
    EXPECT_LT(run.peakKiB, kPeakKiB);
    EXPECT_GE(server.hostileRequests(), 1);
    for (const std::string& head : server.heads())
        EXPECT_NE(head.find("\r\nUser-Agent: KX_Updater/" KX_VERSION "\r\n"), std::string::npos)
            << head;
    if (kind.partial) {
        EXPECT_FALSE(fs::exists(home / "updatetmp" / kind.partial));
    }
    EXPECT_EQ(readFile(home / "a.dat"), kind.replacedBefore ? module : "the old module");
    // Whatever the server sent stays one line in the log.
    for (const fs::directory_entry& log : fs::directory_iterator(home / "updatelog"))
        if (log.path().filename().string().rfind("kxupd_", 0) == 0) {
            for (const std::string& line : lines(readFile(log.path())))
                EXPECT_EQ(line.find("|-|"), 19u) << line;
        }
}

INSTANTIATE_TEST_SUITE_P(Kinds, UpdaterAgainstHostileServer,
                         ::testing::Combine(::testing::ValuesIn(kUpdaterKinds),
                                            ::testing::ValuesIn(kHostilities)),
                         [](const auto& row) {
                             return std::string(std::get<0>(row.param).name) + "_" +
                                    kxtest::name(std::get<1>(row.param));
                         });

// A server that answers the list but stalls every module file: once the
// run's time is used up no further download is tried, so many modules cannot
// add up to an unbounded run.
TEST_F(Installation, UpdaterOutOfTimeTriesNoFurtherModule) {
    std::map<std::string, std::string> answers;
    std::string list;
    for (int number = 0; number < 20; ++number) {
        const std::string name = "m" + std::to_string(number) + ".dat";
        list += name + "|0|.|" + md5("new " + name) + "|0\n";
        answers["/modules/" + name] = "new " + name;
    }
    answers["/list.txt"] = list;
    answers["/list.md5"] = md5(list);
    HostileServer server(Hostility::StallAfterHeaders, "/modules/", answers);
    writeFile(home / "config.ini", "<KX><Config><Server>127.0.0.1</Server><Port>" +
                                       std::to_string(server.port()) +
                                       "</Port><HostID>7</HostID><SSL>0</SSL></Config></KX>\n");
    writeFile(home / "update.ini",
              "<KX><Update><List>/list.txt</List><ListHash>/list.md5</ListHash>"
              "<Modules>/modules</Modules><Complete>/complete</Complete><Log>/upload</Log>"
              "</Update></KX>\n");

    // Without the budget: 20 files x 5 stalled attempts.
    const Ended run =
        runProgram(home, "KX_Updater", std::chrono::seconds(120), "KX_TEST_RUN_BUDGET=4");

    ASSERT_TRUE(run.ended) << "after " << run.seconds << " s\n" << run.stuck;
    EXPECT_EQ(run.out, (std::vector<std::string>{"start", "end"}));
    EXPECT_LT(run.seconds, 4 + kDocumentSeconds * 4 + 10);
    EXPECT_LT(server.hostileRequests(), 20);
    std::string log;
    for (const fs::directory_entry& file : fs::directory_iterator(home / "updatelog"))
        if (file.path().filename().string().rfind("kxupd_", 0) == 0)
            log += readFile(file.path());
    EXPECT_NE(log.find("DownloadFiles: out of time"), std::string::npos) << log;
    for (int number = 0; number < 20; ++number)
        EXPECT_FALSE(fs::exists(home / ("m" + std::to_string(number) + ".dat")));
}

// ---- The agent: PROPFIND and PUT ----

class AgentAgainstHostileServer
    : public Installation,
      public ::testing::WithParamInterface<std::tuple<const char*, Hostility>> {};

TEST_P(AgentAgainstHostileServer, EndsInTimeSmallWithNothingPartialLeft) {
    const std::string method = std::get<0>(GetParam());
    const std::string spool = "/SPOOL/agent/decryptdata/";
    // PROPFIND goes to the root; the PUTs to the spool.
    HostileServer server(std::get<1>(GetParam()), method == "PROPFIND" ? "/SPOOL/" : spool,
                         {{"PROPFIND", "<D:multistatus xmlns:D=\"DAV:\"/>"}, {"PUT", ""}});
    writeFile(home / "config.ini",
              "<KX><Config><Server>127.0.0.1</Server><Port>" + std::to_string(server.port()) +
                  "</Port><Username>kx</Username><Password>secret</Password><SSL>0</SSL>"
                  "</Config></KX>\n");
    writeFile(home / "macInventory.sh", "#!/bin/sh\nmkdir -p result && cp '" +
                                            std::string(KX_SOURCE_DIR) +
                                            "/tests/agent/fixtures/linux/'* result/\n");
    fs::permissions(home / "macInventory.sh", fs::perms::owner_all);

    const Ended run = runProgram(home, "KX_InventoryAGT", std::chrono::seconds(120));
    SCOPED_TRACE("the agent's log:\n" + logsIn(home / "log"));

    ASSERT_TRUE(run.ended) << "after " << run.seconds << " s\n" << run.stuck;
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), "end");
    EXPECT_NE(std::find(run.out.begin(), run.out.end(), "upload err"), run.out.end());
    // One PROPFIND, or two PUTs, each within its bound.
    EXPECT_LT(run.seconds, 2 * (kDocumentSeconds + 1) + 10);
    EXPECT_LT(run.peakKiB, kPeakKiB);
    EXPECT_GE(server.hostileRequests(), 1);
    for (const std::string& head : server.heads())
        EXPECT_NE(head.find("\r\nUser-Agent: KX_InventoryAGT/" KX_VERSION "\r\n"),
                  std::string::npos)
            << head;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(home))
        EXPECT_NE(entry.path().filename().string().rfind("KX-", 0), 0u) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(Kinds, AgentAgainstHostileServer,
                         ::testing::Combine(::testing::Values("PROPFIND", "PUT"),
                                            ::testing::ValuesIn(kHostilities)),
                         [](const auto& row) {
                             return std::string(std::get<0>(row.param)) + "_" +
                                    kxtest::name(std::get<1>(row.param));
                         });

// ---- The last resort of both programs ----

TEST_F(Installation, OutOfMemoryAtTheTopIsOneLogLineThenEndAndStatusZero) {
    writeFile(home / "config.ini", "<KX><Config><Server>127.0.0.1</Server></Config></KX>\n");
    const struct {
        const char* program;
        const char* logFolder;
    } programs[] = {{"KX_Updater", "updatelog"}, {"KX_InventoryAGT", "log"}};
    for (const auto& p : programs) {
        SCOPED_TRACE(p.program);
        const Ended run =
            runProgram(home, p.program, std::chrono::seconds(30), "KX_TEST_OUT_OF_MEMORY");
        EXPECT_TRUE(run.ended);
        ASSERT_FALSE(run.out.empty());
        EXPECT_EQ(run.out.back(), "end");
        std::string log;
        for (const fs::directory_entry& file : fs::directory_iterator(home / p.logFolder))
            log += readFile(file.path());
        EXPECT_NE(log.find("run failed: std::bad_alloc"), std::string::npos) << log;
        // The updater's log ends with the line that states the outcome.
        if (std::string(p.program) == "KX_Updater") {
            EXPECT_NE(log.find("end: "), std::string::npos) << log;
        }
    }
}

} // namespace
