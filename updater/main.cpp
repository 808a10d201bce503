// KX_Updater: started without an argument it starts a copy of itself
// ("tmp_Updater.exe tmp") and ends, so that the run may replace KX_Updater;
// started with any argument it performs one update run. Exit status 0 always.

#include <unistd.h>

#include <cstdio>

#include <curl/curl.h>

#include "UpdateRun.h"

int main(int argc, char**) {
    std::printf("start\n");
    std::fflush(stdout);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (argc == 1)
        RelaunchRun();
    else
        UpdateRun([](unsigned seconds) { ::sleep(seconds); });
    curl_global_cleanup();
    std::printf("end\n");
    return 0;
}
