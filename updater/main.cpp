// KX_Updater: started without an argument it starts a copy of itself
// ("tmp_Updater.exe tmp") and ends, so that the run may replace KX_Updater;
// started with any argument it performs one update run. Exit status 0 always.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include <curl/curl.h>

#include "updater/Logger.h"
#include "updater/UpdateRun.h"
#include "updater/UpdateStatus.h"
#include "common/Version.h"

namespace {

const char* const help =
    "usage: KX_Updater [ARGUMENT]\n"
    "Brings the installation up to date from the update server named in\n"
    "config.ini and update.ini. Works in the current directory, which must be\n"
    "the installation folder.\n"
    "  (no argument)  start the copy \"tmp_Updater.exe tmp\", which does the run\n"
    "  ARGUMENT       any other argument: do the run in this process\n"
    "  --help         print this text\n"
    "  --version      print the version\n"
    "The run's log is updatelog/kxupd_YYYYMMDD.log.\n";

// The last resort: whatever went wrong (out of memory included) becomes one
// log line, and the program still ends as always.
void LogFailure(const char* what) {
    try {
        Logger::Stop();
        Logger::Delete();
        Logger::Start(true);
        Logger::Write("run failed: %s", what);
        Logger::Write("end: %s", UpdateStatus::Text(UpdateOutcome::RunFailed));
        Logger::Stop();
    } catch (...) {
    }
}

} // namespace

int main(int argc, char** argv) {
    // Asked what the program is: answered without a run or a request.
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(help, stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("KX_Updater %s\n", KX_VERSION);
        return 0;
    }
    std::printf("start\n");
    std::fflush(stdout);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    try {
        // Tests reach the last resort through this hook.
        if (std::getenv("KX_TEST_OUT_OF_MEMORY"))
            throw std::bad_alloc();
        if (argc == 1)
            RelaunchRun();
        else
            UpdateRun([](unsigned seconds) {
                // Tests of whole runs skip the pauses between attempts.
                if (!std::getenv("KX_TEST_NO_PAUSES"))
                    ::sleep(seconds);
            });
    } catch (const std::exception& e) {
        LogFailure(e.what());
    } catch (...) {
        LogFailure("unknown error");
    }
    curl_global_cleanup();
    std::printf("end\n");
    return 0;
}
