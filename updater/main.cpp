// KX_Updater: started without an argument it starts a copy of itself
// ("tmp_Updater.exe tmp") and ends, so that the run may replace KX_Updater;
// started with any argument it performs one update run. Exit status 0 always.

#include <csignal>
#include <cstdio>
#include <string>

#include <curl/curl.h>

#include "Logger.h"
#include "Updater.h"

namespace {

void Relaunch() {
    std::string message;
    {
        Updater updater;
        updater.LaunchOwn(message);
    }
    Logger::Start(true);
    Logger::Write("%s", message.c_str());
    Logger::Stop();
}

void UpdateRun() {
    // The copy is started with SIGCHLD ignored; the stop and start commands
    // need the default to report their real exit status.
    std::signal(SIGCHLD, SIG_DFL);
    Logger::Delete();
    Logger::Start(true);
    {
        Updater updater;
        Logger::Write("updater: boot");
        bool upload = true;
        if (updater.DownloadList() && updater.ReadList()) {
            if (!updater.CheckList()) {
                Logger::Write("no update");
                upload = false;
            } else if (updater.DownloadFiles()) {
                Logger::Write("Terminator: ");
                updater.StopTarget();
                if (updater.BackupFiles() && updater.UpdateFiles()) {
                    Logger::Write("Launcher: ");
                    updater.StartTarget();
                    updater.Complete();
                }
            }
        }
        if (upload) {
            std::string logText;
            Logger::Get(logText);
            updater.Result(logText);
        }
    }
    Logger::Stop();
}

} // namespace

int main(int argc, char**) {
    std::printf("start\n");
    std::fflush(stdout);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (argc == 1)
        Relaunch();
    else
        UpdateRun();
    curl_global_cleanup();
    std::printf("end\n");
    return 0;
}
