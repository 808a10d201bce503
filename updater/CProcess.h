#pragma once
// Running the configured stop and start commands.

class Process {
public:
    // Runs `command` through the system shell, waits for it and returns the
    // result of system() unchanged: 0 for a command that exited with status 0,
    // otherwise the wait status (exit status 1 gives 256) or -1.
    static int Create(const char* command, bool);
    // Ending a process by its image name is not available on this platform:
    // ends nothing and returns false.
    static bool KillByName(const char* name);
};
