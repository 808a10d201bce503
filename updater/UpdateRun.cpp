#include "updater/UpdateRun.h"

#include <sys/stat.h>

#include <csignal>
#include <ctime>
#include <string>

#include "updater/Logger.h"
#include "common/RunLock.h"
#include "updater/TestHook.h"

namespace {

// The staging folder, locked by the run that works in this installation.
const char* const stagingDir = "updatetmp";

// The status file's words for each outcome; the log has the particulars.
std::string OutcomeDetail(UpdateOutcome outcome) {
    switch (outcome) {
    case UpdateOutcome::Updated: return "";
    case UpdateOutcome::NoUpdate: return "";
    case UpdateOutcome::NotConfigured: return "no server in config.ini";
    case UpdateOutcome::ListFailed: return "the update list could not be fetched or verified";
    case UpdateOutcome::DownloadFailed:
        return "no selected file could be fetched and verified; nothing was replaced";
    case UpdateOutcome::UpdateFailed:
        return "the files could not be replaced; the installed files are as they were";
    case UpdateOutcome::RunFailed: break;
    }
    return "the run ended early";
}

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
    const std::time_t started = std::time(nullptr);
    Logger::Delete();
    Logger::Start(true);
    {
        Updater updater(sleep);
        UpdateStatus& status = updater.Status();
        status.started = started;
        Logger::Write("updater: boot");
        bool upload = true;
        if (!updater.Recover()) {
            status.outcome = UpdateOutcome::UpdateFailed;
            status.detail = "an interrupted update could not be undone";
        } else if (updater.DownloadList() && updater.ReadList()) {
            if (!updater.CheckList()) {
                Logger::Write("no update");
                status.outcome = UpdateOutcome::NoUpdate;
                updater.AcceptRelease();
                upload = false;
            } else if (!updater.DownloadFiles()) {
                status.outcome = UpdateOutcome::DownloadFailed;
            } else if (!updater.PrepareFiles()) {
                status.outcome = UpdateOutcome::UpdateFailed;
                updater.NoteReplacement(false);
            } else {
                Logger::Write("Terminator: ");
                updater.StopTarget();
                FaultAt("stopped");
                // After a failure every file is as it was: what the stop
                // commands stopped is started again all the same.
                bool replaced = updater.BackupFiles() && updater.UpdateFiles();
                status.outcome = replaced ? UpdateOutcome::Updated : UpdateOutcome::UpdateFailed;
                updater.NoteReplacement(replaced);
                Logger::Write("Launcher: ");
                updater.StartTarget();
                if (replaced) {
                    updater.Complete();
                    updater.AcceptRelease();
                }
            }
        } else {
            status.outcome =
                updater.Configured() ? UpdateOutcome::ListFailed : UpdateOutcome::NotConfigured;
        }
        if (status.detail.empty())
            status.detail = OutcomeDetail(status.outcome);
        // The last line of every update run says how it ended.
        Logger::Write("end: %s", UpdateStatus::Text(status.outcome));
        if (upload) {
            std::string logText;
            Logger::Get(logText);
            updater.Result(logText);
        }
        updater.WriteStatus();
    }
    Logger::Stop();
}
