// The built KX_InventoryAGT against a result folder that another program
// filled with things other than plain files, and against a collection script
// that never ends: the run still ends soon with its usual messages, the data
// files reach a real WebDAV server (lighttpd), nothing from outside "result"
// gets into them, and the log names each refused input once.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"
#include "tests/webdav/Lighttpd.h"

namespace {

namespace fs = boost::filesystem;
using kxtest::Lighttpd;
using kxtest::lines;
using kxtest::readFile;
using kxtest::writeFile;

const std::string kFixtures = std::string(KX_SOURCE_DIR) + "/tests/agent/fixtures";

const std::vector<std::string> kCollection = {"実行開始...",
                                              "UPDATE_PROGRESS",
                                              "ハードウェア情報読込み中...",
                                              "ハードウェア情報作成完了",
                                              "ソフトウェア情報読込み中...",
                                              "ソフトウェア情報作成完了"};

// What a secret file outside "result" holds: it must never reach a data file.
const char* const kSecret = "root:SECRET-LINE-FROM-OUTSIDE:19000:0:99999:7:::";

// The smallest hardware report the Mac collectors accept as a machine.
const char* const kMacHardware =
    "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict><key>_items</key><array><dict>"
    "<key>machine_name</key><string>MacBook Pro</string>"
    "<key>platform_UUID</key><string>24A95B44-2444-59CF-9D9B-A42CF82590AE</string>"
    "</dict></array></dict></array></plist>\n";

// An installation folder of its own for each test, removed afterwards.
class AgentInputs : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(home);
        fs::copy_file(fs::path(KX_BINARY_DIR) / "KX_InventoryAGT", home / "KX_InventoryAGT");
        // The script leaves "result" as the test prepared it.
        writeScript("exit 0\n");
        fs::create_directories(home / "result");
        writeFile(base / "shadow", std::string(kSecret) + "\n");
    }

    void copyLinuxInputs() {
        for (fs::directory_iterator it(kFixtures + "/linux"), end; it != end; ++it)
            fs::copy_file(it->path(), home / "result" / it->path().filename());
    }

    void writeConfig(const std::string& settings) {
        writeFile(home / "config.ini",
                  "<?xml version=\"1.0\"?>\n<KX><Config>" + settings + "</Config></KX>\n");
    }

    void writeScript(const std::string& body) {
        writeFile(home / "macInventory.sh", "#!/bin/sh\n" + body);
        fs::permissions(home / "macInventory.sh", fs::owner_all);
    }

    void uploadTo(const Lighttpd& server) {
        writeConfig("<Server>127.0.0.1</Server><Port>" + std::to_string(server.port()) +
                    "</Port><Username>kx</Username><Password>secret</Password>");
    }

    // KX_InventoryAGT tmp in the installation folder, killed (and the test
    // failed) when it has not ended within `limit`. Standard output's lines.
    std::vector<std::string> runAgent(const std::vector<std::string>& environment = {},
                                      std::chrono::seconds limit = std::chrono::seconds(30)) {
        const fs::path out = base / "stdout.txt";
        const pid_t child = fork();
        if (child == 0) {
            for (const std::string& setting : environment)
                putenv(const_cast<char*>(setting.c_str()));
            if (chdir(home.c_str()) != 0 || !freopen(out.c_str(), "w", stdout))
                _exit(126);
            execl("./KX_InventoryAGT", "KX_InventoryAGT", "tmp", static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = -1;
        const auto until = std::chrono::steady_clock::now() + limit;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ADD_FAILURE() << "the run did not end within " << limit.count() << " s";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return lines(readFile(out));
    }

    // The day's log, without the time stamps.
    std::vector<std::string> logTexts() const {
        std::vector<std::string> texts;
        for (fs::directory_iterator it(home / "log"), end; it != end; ++it)
            if (it->path().filename().string().rfind("kxinv_", 0) == 0)
                for (const std::string& line : lines(readFile(it->path())))
                    texts.push_back(line.substr(line.find('|') + 1));
        return texts;
    }

    kxtest::TempFolder scratch{"kx-agent-inputs"};
    fs::path base = scratch.path();
    fs::path home = base / "install";
};

std::vector<std::string> withUpload(std::vector<std::string> messages) {
    messages.insert(messages.begin(), "start");
    for (const char* text : {"UPDATE_PROGRESS", "UPDATE_PROGRESS", "end"})
        messages.push_back(text);
    return messages;
}

struct Hostile {
    const char* what;
    bool mac;          // the Mac inputs (hardware.xml) instead of the Linux ones
    const char* input; // the file of "result" that is replaced
    void (*arrange)(const fs::path& input, const fs::path& secret);
    const char* reason; // as the log line gives it
};
void PrintTo(const Hostile& c, std::ostream* os) { *os << c.what; }

void sparseFile(const fs::path& file, uint64_t bytes) {
    writeFile(file, "");
    fs::resize_file(file, bytes); // nothing is written: the test stays fast
}

class AgentRefusesInput : public AgentInputs, public ::testing::WithParamInterface<Hostile> {};

TEST_P(AgentRefusesInput, RunEndsWithItsMessagesAndLogsTheInputOnce) {
    const Hostile& c = GetParam();
    if (c.mac) {
        writeFile(home / "result" / "hardware.xml", kMacHardware);
        writeFile(home / "result" / "hostname", "mac01.example.com\n");
    } else {
        copyLinuxInputs();
    }
    const fs::path input = home / "result" / c.input;
    fs::remove(input);
    c.arrange(input, base / "shadow");
    Lighttpd server;
    uploadTo(server);

    EXPECT_EQ(runAgent(), withUpload(kCollection));

    const std::string line = "input refused: " + input.string() + ": " + c.reason;
    const std::vector<std::string> logged = logTexts();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), line), 1)
        << ::testing::PrintToString(logged);

    int stored = 0;
    for (fs::directory_iterator it(server.spool()), end; it != end; ++it, ++stored)
        EXPECT_EQ(readFile(it->path()).find("SECRET-LINE"), std::string::npos) << it->path();
    EXPECT_EQ(stored, 2);
}

INSTANTIATE_TEST_SUITE_P(
    ResultFolder, AgentRefusesInput,
    ::testing::Values(
        Hostile{"linux_hostname_links_to_a_secret_outside", false, "hostname",
                [](const fs::path& f, const fs::path& secret) { fs::create_symlink(secret, f); },
                "a symbolic link, not followed"},
        Hostile{"linux_cpu_is_a_fifo", false, "cpu",
                [](const fs::path& f, const fs::path&) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); },
                "not a regular file"},
        Hostile{"linux_mem_links_to_dev_zero", false, "mem",
                [](const fs::path& f, const fs::path&) { fs::create_symlink("/dev/zero", f); },
                "a symbolic link, not followed"},
        Hostile{"linux_dmidecode_is_a_folder", false, "dmidecode",
                [](const fs::path& f, const fs::path&) { fs::create_directories(f / "inside"); },
                "Is a directory"},
        Hostile{"linux_app_of_300_MB", false, "app",
                [](const fs::path& f, const fs::path&) { sparseFile(f, 300000000); },
                "larger than 16 MiB"},
        Hostile{"mac_os_links_to_a_secret_outside", true, "os",
                [](const fs::path& f, const fs::path& secret) { fs::create_symlink(secret, f); },
                "a symbolic link, not followed"},
        Hostile{"mac_video_is_a_fifo", true, "video",
                [](const fs::path& f, const fs::path&) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); },
                "not a regular file"},
        Hostile{"mac_app_of_300_MB", true, "app",
                [](const fs::path& f, const fs::path&) { sparseFile(f, 300000000); },
                "larger than 256 MiB"}),
    [](const ::testing::TestParamInfo<Hostile>& test) { return std::string(test.param.what); });

bool running(pid_t pid) {
    if (kill(pid, 0) != 0)
        return false;
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    return close == std::string::npos || stat.compare(close + 2, 1, "Z") != 0; // a zombie has ended
}

// A script that never ends, with a child of its own: after the (shortened)
// bound the group gets SIGTERM, the script its grace to clean up, then
// whatever is left SIGKILL; the run goes on with what the script left.
struct EndlessScript {
    const char* what;
    const char* onTerm; // the script's handling of SIGTERM, and its child's
    bool cleansUp;      // removes its "working.tmp" on SIGTERM
};
void PrintTo(const EndlessScript& c, std::ostream* os) { *os << c.what; }

class AgentScriptBound : public AgentInputs, public ::testing::WithParamInterface<EndlessScript> {};

TEST_P(AgentScriptBound, ScriptIsStoppedWithItsChildrenAndNothingIsSent) {
    writeScript("cp '" + kFixtures +
                "/linux/'* result/\n"
                "echo working > working.tmp\n" +
                GetParam().onTerm +
                "\nsleep 1000 &\n"
                "echo $! > child.pid\n"
                "while :; do sleep 1; done\n");
    Lighttpd server;
    uploadTo(server);

    const std::string stopped =
        "collection script stopped: still running after 1 s, its process group killed";
    EXPECT_EQ(runAgent({"KX_TEST_SCRIPT_SECONDS=1"}),
              (std::vector<std::string>{"start", stopped, "end"}));
    EXPECT_EQ(server.requests("PUT"), 0);
    EXPECT_NE(readFile(home / "log" / "last_run.json").find("\"outcome\": \"no collection\""),
              std::string::npos);

    EXPECT_EQ(logTexts(), std::vector<std::string>{stopped});
    const pid_t child = std::stoi(readFile(home / "child.pid"));
    for (int i = 0; i < 100 && running(child); ++i) // the killed child's end may lag
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(running(child));
    EXPECT_EQ(fs::exists(home / "working.tmp"), !GetParam().cleansUp);
}

INSTANTIATE_TEST_SUITE_P(Collection, AgentScriptBound,
                         ::testing::Values(
                             // Ignored signals stay ignored in the child: only SIGKILL ends them.
                             EndlessScript{"script_and_child_ignore_sigterm", "trap '' TERM",
                                           false},
                             // The script's own clean-up runs before the group is killed.
                             EndlessScript{"script_cleans_up_on_sigterm",
                                           "trap 'rm -f working.tmp; exit 0' TERM", true}),
                         [](const ::testing::TestParamInfo<EndlessScript>& test) {
                             return std::string(test.param.what);
                         });

} // namespace
