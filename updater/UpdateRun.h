#pragma once
// The two things KX_Updater does, one per way it is started.

#include "updater/Updater.h"

// Without an argument: start the copy "tmp_Updater.exe tmp" and log the
// outcome as one line.
void RelaunchRun();

// With an argument: one update run in the working directory, logged to the
// day's file and uploaded at the end (except after "no update"). `sleep`
// takes the retry pauses.
void UpdateRun(const Updater::Sleep& sleep);
