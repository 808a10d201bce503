// Around the replacement: the stop entries before it, the start commands and
// the completion report after it, and the log upload at the end of the run.

#include <ctime>

#include <boost/algorithm/string/replace.hpp>
#include <boost/filesystem.hpp>

#include "updater/CProcess.h"
#include "updater/Downloader.h"
#include "common/LogText.h"
#include "updater/Logger.h"
#include "updater/Retries.h"
#include "common/PrivateFile.h"
#include "updater/Updater.h"

namespace fs = boost::filesystem;

namespace {

const char* const exePathMark = "[EXEPATH]";

} // namespace

bool Updater::StopTarget() {
    for (const std::string& entry : stopCommands) {
        if (entry.find(".exe") != std::string::npos) {
            if (!Process::KillByName(entry.c_str()))
                Logger::Write("fail:[%s]", entry.c_str());
            continue;
        }
        int result = Process::StopService(entry.c_str());
        if (result != 0)
            Logger::Write("fail:[%s](%d)", entry.c_str(), result);
    }
    return true;
}

bool Updater::StartTarget() {
    for (const std::string& command : startCommands) {
        std::string line = boost::replace_all_copy(command, exePathMark, workDir);
        int result = Process::Create(line.c_str(), false);
        if (result != 0)
            Logger::Write("fail:[%s](%d)", line.c_str(), result);
    }
    return true;
}

bool Updater::Complete() {
    std::string installedVersion;
    for (const _updateListData& entry : downloadedEntries)
        if (installedVersion < entry.version)
            installedVersion = entry.version;
    if (installedVersion.empty() || completePath.empty() || hostId == 0)
        return true;
    std::string path = completePath + "/" + std::to_string(hostId) + "/" + installedVersion;
    Downloader downloader(server, static_cast<unsigned>(port), ssl);
    std::string text;
    // Once the run is out of time the report still gets its one attempt.
    for (Retry retry = Attempts(Retries::kReport);;) {
        if (downloader.Download(path, text)) {
            Logger::Write("Complete: %s", LogText::OneLine(text).c_str());
            return true;
        }
        switch (Retries::Judge(downloader, retry.Last())) {
        case Retries::Failure::NotFound: Logger::Write("Complete: not found"); return false;
        case Retries::Failure::HttpError:
            Logger::Write("Complete: http err:%d", downloader.responseCode);
            return false;
        case Retries::Failure::ConnectError:
            Logger::Write("Complete: connect err:%d", downloader.error);
            return false;
        case Retries::Failure::TryAgain: break;
        }
        retry.Pause();
    }
}

void Updater::Result(std::string logText) {
    if (server.empty() || logPath.empty())
        return;
    std::string logFile = (fs::path(workDir) / "logtmp.txt").string();
    // Readable by the owner only, like the log it copies.
    PrivateFile::Replace(logFile, logText);
    std::string path = logPath + "/" + std::to_string(hostId);
    Downloader downloader(server, static_cast<unsigned>(port), ssl);
    std::string response;
    // The log is already read: how its upload went is said in the status file.
    if (downloader.Upload(logFile, path, response))
        status.logUpload = "sent";
    else if (downloader.responseCode >= 400)
        status.logUpload = "http err:" + std::to_string(downloader.responseCode);
    else
        status.logUpload =
            "connect err:" + std::to_string(downloader.error) + " " + downloader.reason;
}

bool Updater::WriteStatus() {
    statusWritten = true;
    status.ended = std::time(nullptr);
    std::string error;
    if (PrivateFile::ReplaceAtomically((fs::path(workDir) / "updatelog" / "last_run.json").string(),
                                       status.ToJson(), &error))
        return true;
    Logger::Write("status file not written: %s", error.c_str());
    return false;
}

void Updater::NoteReplacement(bool replaced) {
    for (const _updateListData& entry : downloadedEntries) {
        // A refusal (the path turned out to be unusable) says more.
        if (status.ResultOf(entry.name, entry.dir) == "refused")
            continue;
        if (replaced)
            status.Note(entry.name, entry.dir, entry.skipReplace ? "staged" : "updated");
        else
            status.Note(entry.name, entry.dir, "failed",
                        "not replaced; the installed file is as it was");
    }
}
