#pragma once
// One run at a time per installation folder. Two runs at once would share
// "result" (the second run's collection script clears it while the first is
// reading) and the log folder; the run holds an exclusive advisory lock on the
// working directory itself, so nothing is left behind and the lock goes away
// with the process, however it ends.

class RunLock {
public:
    RunLock();  // tries once, never waits
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // False only when another run in the same folder holds the lock. A folder
    // that cannot be locked at all does not stop the run.
    bool acquired() const { return !busy; }

private:
    int fd = -1;
    bool busy = false;
};
