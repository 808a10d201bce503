#include "updater/CProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Portable.h"

#ifdef __APPLE__
#include <libproc.h>
#include <sys/proc_info.h>
#else
#include <dirent.h>
#include <climits>
#endif

namespace {

const std::chrono::milliseconds pollPause{50};

std::string WithoutExe(std::string name) {
    const std::string exe = ".exe";
    if (name.size() >= exe.size() && name.compare(name.size() - exe.size(), exe.size(), exe) == 0)
        name.erase(name.size() - exe.size());
    return name;
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text as one shell word.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

#ifdef __APPLE__

std::vector<std::pair<pid_t, std::string>> RunningImages() {
    std::vector<std::pair<pid_t, std::string>> images;
    int count = proc_listallpids(nullptr, 0);
    if (count <= 0)
        return images;
    std::vector<pid_t> pids(static_cast<std::size_t>(count) + 64);
    count = proc_listallpids(pids.data(), static_cast<int>(pids.size() * sizeof(pid_t)));
    for (int i = 0; i < count; ++i) {
        char path[PROC_PIDPATHINFO_MAXSIZE];
        if (pids[i] > 0 && proc_pidpath(pids[i], path, sizeof path) > 0)
            images.emplace_back(pids[i], BaseName(path));
    }
    return images;
}

bool Ended(pid_t pid) {
    struct proc_bsdinfo info;
    if (proc_pidinfo(pid, PROC_PIDTBSDINFO, 0, &info, sizeof info) == sizeof info &&
        info.pbi_status == SZOMB)
        return true;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

const char* const serviceStop = "launchctl bootout system/";

#else

// The executable's file name; for a process whose executable cannot be
// read, the file name of its first argument.
std::string ImageName(const std::string& proc) {
    char target[PATH_MAX];
    ssize_t size = ::readlink((proc + "/exe").c_str(), target, sizeof target - 1);
    if (size > 0) {
        std::string path(target, static_cast<std::size_t>(size));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.erase(path.size() - deleted.size());
        return BaseName(path);
    }
    std::ifstream cmdline(proc + "/cmdline", std::ios::binary);
    std::string first;
    std::getline(cmdline, first, '\0');
    return BaseName(first);
}

std::vector<std::pair<pid_t, std::string>> RunningImages() {
    std::vector<std::pair<pid_t, std::string>> images;
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return images;
    while (dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        std::string name = ImageName(std::string("/proc/") + entry->d_name);
        if (!name.empty())
            images.emplace_back(static_cast<pid_t>(pid), name);
    }
    ::closedir(dir);
    return images;
}

// Gone, or a zombie nobody has collected yet.
bool Ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() &&
           (line[close + 2] == 'Z' || line[close + 2] == 'X');
}

const char* const serviceStop = "systemctl stop ";

#endif

// Waits until every process of `pids` has ended or `grace` has passed;
// leaves in `pids` those still running.
void WaitForEnd(std::vector<pid_t>& pids, std::chrono::milliseconds grace) {
    auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        pids.erase(std::remove_if(pids.begin(), pids.end(), Ended), pids.end());
        if (pids.empty() || std::chrono::steady_clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(pollPause);
    }
}

} // namespace

int Process::Create(const char* command, bool) { return std::system(command); }

bool Process::KillByName(const char* name) {
    std::chrono::milliseconds grace = kKillGrace;
    if (const char* test = std::getenv("KX_TEST_KILL_GRACE_MS"))
        grace = std::chrono::milliseconds(std::atol(test));
    return KillByName(name, grace);
}

bool Process::KillByName(const char* name, std::chrono::milliseconds grace) {
    const std::string wanted = WithoutExe(name);
    if (wanted.empty())
        return false;
    std::vector<pid_t> signalled;
    for (const auto& [pid, image] : RunningImages()) {
        if (pid == ::getpid() || WithoutExe(image) != wanted)
            continue;
        if (::kill(pid, SIGTERM) == 0)
            signalled.push_back(pid);
    }
    std::vector<pid_t> running = signalled;
    WaitForEnd(running, grace);
    if (!running.empty()) {
        for (pid_t pid : running)
            ::kill(pid, SIGKILL);
        WaitForEnd(running, grace);
    }
    return running.size() < signalled.size();
}

int Process::StopService(const char* name) {
    return Create((serviceStop + Quoted(name)).c_str(), false);
}

int Process::StartDetached(const std::string& program) {
    int report[2];
    if (int failed = Portable::PipeCloseOnExec(report))
        return failed;
    std::string argument = "tmp";
    char* argv[] = {const_cast<char*>(program.c_str()), &argument[0], nullptr};
    pid_t child = ::fork();
    if (child < 0) {
        int code = errno;
        ::close(report[0]);
        ::close(report[1]);
        return code;
    }
    if (child == 0) {
        ::close(report[0]);
        std::signal(SIGCHLD, SIG_IGN);
        ::execv(argv[0], argv);
        int code = errno;
        ssize_t ignored = ::write(report[1], &code, sizeof code);
        (void)ignored;
        ::_exit(127);
    }
    ::close(report[1]);
    int code = 0;
    ssize_t got;
    do
        got = ::read(report[0], &code, sizeof code);
    while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got != static_cast<ssize_t>(sizeof code))
        return 0;
    ::waitpid(child, nullptr, 0);
    return code;
}
