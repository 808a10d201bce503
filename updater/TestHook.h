#pragma once
// Faults for the tests, injected at named points of the update run. Both
// environment variables are read only when set, and never in normal use:
//
//   KX_TEST_KILL_AT=<point>   the process ends itself with SIGKILL there
//   KX_TEST_FAIL_AT=<point>   the step at that point reports a failure
//
// Points: "staged" (every file ready beside its target, before the stop
// commands), "stopped" (after the stop commands; a kill only), "backup"
// (after each backup), "placed:<n>" (after the n-th file was put in place)
// and "placed:last".

#include <string>

// True when the step at `point` must fail; does not return when the process
// must be killed there.
bool FaultAt(const std::string& point);
