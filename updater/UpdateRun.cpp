#include "UpdateRun.h"

#include <sys/stat.h>

#include <csignal>
#include <string>

#include "Logger.h"
#include "RunLock.h"
#include "TestHook.h"

namespace {

// The staging folder, locked by the run that works in this installation.
const char* const stagingDir = "updatetmp";

} // namespace

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
    // One run per installation: a second one would share the staged files
    // and replace the installed ones under the first.
    ::mkdir(stagingDir, 0755);
    const RunLock lock(stagingDir);
    if (!lock.acquired()) {
        Logger::Start(true);
        Logger::Write("updater: another run is in progress");
        Logger::Stop();
        return;
    }
    Logger::Delete();
    Logger::Start(true);
    {
        Updater updater(sleep);
        Logger::Write("updater: boot");
        bool upload = true;
        if (updater.Recover() && updater.DownloadList() && updater.ReadList()) {
            if (!updater.CheckList()) {
                Logger::Write("no update");
                upload = false;
            } else if (updater.DownloadFiles() && updater.PrepareFiles()) {
                Logger::Write("Terminator: ");
                updater.StopTarget();
                FaultAt("stopped");
                // After a failure every file is as it was: what the stop
                // commands stopped is started again all the same.
                bool replaced = updater.BackupFiles() && updater.UpdateFiles();
                Logger::Write("Launcher: ");
                updater.StartTarget();
                if (replaced)
                    updater.Complete();
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
