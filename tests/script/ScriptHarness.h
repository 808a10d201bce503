#pragma once
// What the collection-script tests share: a throw-away installation folder
// holding the script, a root folder for the files it reads (/proc, /etc,
// /var/log, /sys), a folder of stub commands, a way to run the script, and
// the managers' data files of its result decoded back into JSON.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/CSWInfoManager.h"
#include "tests/support/Files.h"
#include "tests/support/LocalZone.h"
#include "tests/support/TempFolder.h"
#include "tools/kxdump/KxReader.h"

namespace scripttest {

namespace fs = boost::filesystem;
using json = nlohmann::ordered_json;

using kxtest::lines;
using kxtest::readFile;
using kxtest::writeFile;

// The property lists the script asks system_profiler for on a Mac: each
// result file with the data type it holds.
inline const std::map<std::string, std::string>& macReportTypes() {
    static const std::map<std::string, std::string> types = {
        {"hardware.xml", "SPHardwareDataType"},
        {"mem.xml", "SPMemoryDataType"},
        {"physical_disk.xml", "SPSerialATADataType"},
        {"nvme_disk.xml", "SPNVMeDataType"},
        {"pata_disk.xml", "SPParallelATADataType"},
        {"logical_disk.xml", "SPStorageDataType"},
        {"nics", "SPNetworkDataType"},
        {"app", "SPApplicationsDataType"}};
    return types;
}

// A text quoted for the shell.
inline std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

// The program's path on this machine's PATH, or "" when it has none.
inline std::string which(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    }
    return "";
}

// The real outputs of real machines, kept in tests/samples. A stub that
// prints a missing sample would replay an empty output: the replay tests
// check their samples exist first.
inline fs::path sample(const std::string& relative) { return fs::path(KX_SAMPLES_DIR) / relative; }

// Every path under `root`, relative to it, folders marked with a trailing "/".
inline std::set<std::string> tree(const fs::path& root) {
    std::set<std::string> result;
    if (!fs::exists(root))
        return result;
    for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
        std::string name = fs::relative(it->path(), root).generic_string();
        if (fs::is_directory(it->symlink_status()))
            name += "/";
        result.insert(name);
    }
    return result;
}

// The hardware and software data files the agent makes of a result folder.
struct Inventory {
    json hardware;
    json software;
};

// One run of the script: its exit status, whether it ended by itself within
// the harness's bound, and the command lines of the processes it left
// running (its process group after it ended). How long it took is no part of
// it: on a busy machine that says nothing about the script.
struct Outcome {
    int status = -1;
    bool finished = false;
    std::vector<std::string> leftovers;
};

// The processes of process group `group` other than its leader, zombies
// left out: "pid command line" each.
inline std::vector<std::string> groupMembers(pid_t group) {
    std::vector<std::string> found;
    for (fs::directory_iterator it("/proc"), end; it != end; ++it) {
        const std::string pid = it->path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || std::stoi(pid) == group)
            continue;
        // pid (comm) state ppid pgrp ...: the name may hold blanks and ")"
        const std::string stat = readFile(it->path() / "stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 1));
        std::string state;
        pid_t ppid = 0;
        pid_t pgrp = 0;
        if (!(fields >> state >> ppid >> pgrp) || pgrp != group || state == "Z")
            continue;
        std::string command = readFile(it->path() / "cmdline");
        std::replace(command.begin(), command.end(), '\0', ' ');
        found.push_back(pid + " " + command);
    }
    return found;
}

// Waits until the child `pid` has ended or `deadline` has passed; true when
// it ended. The ended child is left a zombie, which keeps its process-group
// number from being handed to anyone else until it is reaped.
inline bool waitForEnd(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        siginfo_t info;
        std::memset(&info, 0, sizeof info);
        const int rc = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (rc == 0 && info.si_pid == pid)
            return true;
        if (rc != 0 && errno != EINTR)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Runs the shell command `command` as the leader of a process group of its
// own, calling `during` with the group once it is started. A run still going
// after `bound` is killed. What the run leaves running is noted (given a few
// seconds to go, as a killed process takes its time), then the whole group
// is killed, so that no run leaves anything behind for the next.
inline Outcome runInGroup(const std::string& command, std::chrono::seconds bound,
                          const std::function<void(pid_t)>& during = {}) {
    const auto start = std::chrono::steady_clock::now();
    Outcome outcome;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return outcome;
    }
    if (pid == 0) {
        ::setpgid(0, 0);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    if (during)
        during(pid);
    outcome.finished = waitForEnd(pid, start + bound);
    if (!outcome.finished) {
        ADD_FAILURE() << "still running after " << bound.count() << " s: " << command;
        ::kill(-pid, SIGKILL);
        waitForEnd(pid, std::chrono::steady_clock::now() + std::chrono::seconds(10));
    }
    // Waits no longer than the group takes to empty; the bound is a guard.
    const auto grace = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!(outcome.leftovers = groupMembers(pid)).empty() &&
           std::chrono::steady_clock::now() < grace)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (outcome.finished)
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

class ScriptTest : public ::testing::Test {
public:
    void SetUp() override {
        home = base / "install";
        root = base / "root";
        bin = base / "bin";
        for (const fs::path& made : {home, root, bin, base / "data"})
            fs::create_directories(made);
        fs::copy_file(fs::path(KX_SOURCE_DIR) / "script" / "macInventory.sh",
                      home / "macInventory.sh");
    }

    // The ordinary utilities the script works with, linked into the stub
    // folder, so that a run with `isolated` sees no system tool but the stubs.
    void linkUtilities() {
        for (const char* name : {"sh", "cat", "awk", "sed", "grep", "sort", "head", "tr", "cut",
                                 "rm", "mkdir", "cp", "date", "sleep", "pkill", "gzip"}) {
            const std::string real = which(name);
            if (!real.empty() && !fs::exists(bin / name))
                fs::create_symlink(real, bin / name);
        }
    }

    // A stub command: a shell script with `body`.
    void stub(const std::string& name, const std::string& body) {
        writeFile(bin / name, "#!/bin/sh\n" + body + "\n");
        fs::permissions(bin / name, fs::owner_all | fs::group_read | fs::others_read);
    }
    // A stub command printing a file.
    void stubPrints(const std::string& name, const fs::path& file) {
        EXPECT_TRUE(fs::exists(file)) << "missing: " << file;
        stub(name, "cat " + quoted(file.string()));
    }
    // A stub command printing a text.
    void stubSays(const std::string& name, const std::string& text) {
        writeFile(base / "said" / name, text);
        stubPrints(name, base / "said" / name);
    }

    // A file read by the script, under the root folder ("etc/os-release").
    void rootFile(const std::string& path, const std::string& content) {
        writeFile(root / path, content);
    }
    void rootCopy(const std::string& path, const fs::path& file) {
        EXPECT_TRUE(fs::exists(file)) << "missing: " << file;
        writeFile(root / path, readFile(file));
    }

    // Runs "./macInventory.sh a" with `shell` in the installation folder:
    // with `isolated` only the stub folder on PATH and the files under the
    // root folder, otherwise this machine as it is.
    // `toolLimit` and `runLimit` (seconds; 0: the script's own) bound one
    // tool and all of them; the run gets a minute more than its budget
    // before it counts as hanging. `during` is called with the run's process
    // group once the script is started.
    Outcome runScript(bool isolated, const std::string& shell = "dash", int toolLimit = 0,
                      int runLimit = 0, const std::function<void(pid_t)>& during = {}) {
        std::string env = "env -i TZ=UTC0 HOME=" + quoted(base.string());
        if (isolated)
            env += " PATH=" + quoted(bin.string()) + " KX_ROOT=" + quoted(root.string());
        else
            env += " PATH=" +
                   quoted(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin");
        if (toolLimit > 0)
            env += " KX_TOOL_LIMIT=" + std::to_string(toolLimit);
        if (runLimit > 0)
            env += " KX_RUN_LIMIT=" + std::to_string(runLimit);
        // "bash --posix": the shell and its options
        const std::string shellPath =
            which(shell.substr(0, shell.find(' '))) +
            (shell.find(' ') == std::string::npos ? "" : shell.substr(shell.find(' ')));
        // "exec": the script's shell leads the group, as when the agent runs it.
        const std::string command = "cd " + quoted(home.string()) + " && exec " + env + " " +
                                    shellPath + " ./macInventory.sh a > " +
                                    quoted((base / "out").string()) + " 2> " +
                                    quoted((base / "err").string());
        const int budget = runLimit > 0 ? runLimit : 4 * (toolLimit > 0 ? toolLimit : 60);
        return runInGroup(command, std::chrono::seconds(budget + 60), during);
    }

    fs::path result() const { return home / "result"; }
    std::string resultFile(const std::string& name) const { return readFile(result() / name); }
    bool hasResult(const std::string& name) const { return fs::exists(result() / name); }

    // The agent's collection of the result folder: both managers, their data
    // files decoded.
    Inventory collect() {
        Inventory inventory;
        tagWMISTRUCT record;
        const std::string dest = (base / "data").string();
        CHWInfoManager hardware(result().string(), dest, record);
        hardware.SetVersion("1.0.0.2");
        hardware.start();
        inventory.hardware = kx::readDataFile(readFile(hardware.OutFileName()));
        CSWInfoManager software(result().string(), dest, record);
        software.SetVersion("1.0.0.2");
        software.start();
        inventory.software = kx::readDataFile(readFile(software.OutFileName()));
        fs::remove(hardware.OutFileName());
        fs::remove(software.OutFileName());
        return inventory;
    }

    // Local times in the expectations are UTC, as in the script's runs.
    const kxtest::LocalZone zone{"UTC0"};
    const kxtest::TempFolder folder{"kx-script"};
    const fs::path base = folder.path();
    fs::path home;
    fs::path root;
    fs::path bin;
};

} // namespace scripttest
