#pragma once
// One run at a time per installation folder. Each program holds an exclusive
// advisory lock (flock) on a folder of its own for the whole run: the agent
// on the working directory itself (two runs would share "result" and the log
// folder), the updater on its staging folder (two runs would share the staged
// files and the installed ones). Nothing is left behind, and the lock goes
// away with the process however it ends. The descriptor is closed on exec, so
// commands a run starts (and anything they leave running) never hold it.

class RunLock {
public:
    // Tries once, never waits. `folder` is locked as it is: it must exist.
    explicit RunLock(const char* folder = ".");
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // False only when another run holds the lock. A folder that cannot be
    // locked at all does not stop the run.
    bool acquired() const { return !busy; }

private:
    int fd = -1;
    bool busy = false;
};
