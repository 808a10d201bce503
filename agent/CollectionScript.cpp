#include "agent/CollectionScript.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/utils.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const char* const kShell = "/bin/sh";
// "exec": the script itself leads the group, so the grace after SIGTERM lasts
// until the script has ended (and run its own clean-up), not just the shell.
const char* const kScript = "exec ./macInventory.sh a";
constexpr std::chrono::milliseconds kGrace = std::chrono::seconds(5);
constexpr std::chrono::milliseconds kLongestPause = std::chrono::milliseconds(50);

// Tests shorten the bound; the hook is read only when it is set.
std::chrono::milliseconds effectiveBound(std::chrono::milliseconds bound) {
    const char* test = std::getenv("KX_TEST_SCRIPT_SECONDS");
    if (test == nullptr)
        return bound;
    const double seconds = std::atof(test);
    return seconds > 0 ? std::chrono::milliseconds(static_cast<long long>(seconds * 1000)) : bound;
}

// Starts the script as the leader of a new process group, with the default
// disposition of every signal and none blocked; -1 when it cannot be started.
pid_t spawnScript() {
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
        return -1;
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    char* const argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                          const_cast<char*>(kScript), nullptr};
    pid_t pid = -1;
    const int error = posix_spawn(&pid, kShell, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return pid;
}

// Waits until `pid` has ended or `deadline` has passed; true when it ended.
// With `reap` false the ended process stays a zombie, which keeps its
// process-group number from being handed to anyone else.
bool waitUntil(pid_t pid, Clock::time_point deadline, bool reap) {
    std::chrono::milliseconds pause(1);
    for (;;) {
        siginfo_t info;
        std::memset(&info, 0, sizeof info);
        const int options = WEXITED | WNOHANG | (reap ? 0 : WNOWAIT);
        const int rc = waitid(P_PID, static_cast<id_t>(pid), &info, options);
        if (rc == 0 && info.si_pid == pid)
            return true;
        if (rc != 0 && errno != EINTR)
            return true; // not our child any more: nothing to wait for
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, kLongestPause);
    }
}

std::string seconds(std::chrono::milliseconds duration) {
    return wmi::format("%g s", static_cast<double>(duration.count()) / 1000.0);
}

} // namespace

ScriptRun runCollectionScript(std::chrono::milliseconds bound) {
    bound = effectiveBound(bound);
    ScriptRun run;
    const pid_t pid = spawnScript();
    if (pid < 0) {
        run.message = std::string("collection script not started: ") + std::strerror(errno);
        return run;
    }
    if (waitUntil(pid, Clock::now() + bound, true))
        return run;

    ::kill(-pid, SIGTERM);
    waitUntil(pid, Clock::now() + std::min(kGrace, bound), false);
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.stopped = true;
    run.message = "collection script stopped: still running after " + seconds(bound) +
                  ", its process group killed";
    return run;
}
