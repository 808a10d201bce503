#pragma once
// Runs the collection script "./macInventory.sh a" through the shell and
// waits for it, but not for ever: a script that hangs (or was replaced by one
// that never ends) would otherwise keep the run, and its lock, alive.
//
// The script runs as the leader of a process group of its own. When it is
// still running after the bound, the group gets SIGTERM (the script may
// remove its working files), and whatever of the group is left after a short
// grace gets SIGKILL. Processes that left the group on their own are not
// followed.

#include <chrono>
#include <string>

// Ten minutes: far beyond a real collection, whose tools have bounds of their own.
constexpr std::chrono::milliseconds kScriptBound = std::chrono::minutes(10);

struct ScriptRun {
    // The script was still running at the bound and was stopped: what it
    // left in "result" is unfinished.
    bool stopped = false;
    // The line to report when it was stopped or could not be started; empty
    // when it ended by itself (its exit status tells nothing the result files don't).
    std::string message;
};

// `bound` is kScriptBound unless KX_TEST_SCRIPT_SECONDS is set (tests).
ScriptRun runCollectionScript(std::chrono::milliseconds bound = kScriptBound);
