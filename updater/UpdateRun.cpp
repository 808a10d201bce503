#include "UpdateRun.h"

#include <csignal>
#include <string>

#include "Logger.h"

void RelaunchRun() {
    std::string message;
    {
        Updater updater;
        updater.LaunchOwn(message);
    }
    Logger::Start(true);
    Logger::Write("%s", message.c_str());
    Logger::Stop();
}

void UpdateRun(const Updater::Sleep& sleep) {
    // The copy is started with SIGCHLD ignored; the stop and start commands
    // need the default disposition to report their real exit status.
    std::signal(SIGCHLD, SIG_DFL);
    Logger::Delete();
    Logger::Start(true);
    {
        Updater updater(sleep);
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
