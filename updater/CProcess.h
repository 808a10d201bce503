#pragma once
// Running the configured stop and start commands, and starting the updater's copy.

#include <chrono>
#include <string>

class Process {
public:
    // How long KillByName waits after TERM before it sends KILL.
    static constexpr std::chrono::milliseconds kKillGrace{10000};

    // Runs `command` through the system shell, waits for it and returns the
    // result of system() unchanged: 0 for a command that exited with status 0,
    // otherwise the wait status (exit status 1 gives 256) or -1.
    static int Create(const char* command, bool);

    // Ends every running process whose image name (the executable's file
    // name) is `name`: a ".exe" at the end of either is ignored, the rest
    // must match exactly. Each gets TERM; one still running after `grace` gets
    // KILL. The updater itself is never one of them. True when at least one
    // process was ended; false when none was running or none could be ended.
    // Without `grace`: kKillGrace, or KX_TEST_KILL_GRACE_MS milliseconds when
    // that is set (tests).
    static bool KillByName(const char* name);
    static bool KillByName(const char* name, std::chrono::milliseconds grace);

    // Stops the service `name` through the system's service manager
    // ("systemctl stop NAME"; on macOS "launchctl bootout system/NAME"), the
    // name passed as one argument; returns as Create.
    static int StopService(const char* name);

    // Starts `program` with the single argument "tmp" and leaves it running on
    // its own, with SIGCHLD ignored. Returns 0, or the errno of the failed fork
    // or execution (reported back through a pipe closed by a successful exec).
    static int StartDetached(const std::string& program);
};
