// Download of the selected files and their preparation for the transaction.
//
//   modules/<name> on the server  --DownloadFiles-->  updatetmp/modules/<name>, verified
//   updatetmp/modules/<name>      --PrepareFiles--->  <dir>/.kxupd-new-<name>, ready:
//       same file system as its target, final permission bits, flushed to disk

#include <sys/stat.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include <boost/filesystem.hpp>

#include "common/LocalTime.h"
#include "common/ModuleName.h"
#include "updater/Downloader.h"
#include "updater/DurableFile.h"
#include "updater/File.h"
#include "updater/Logger.h"
#include "updater/Retries.h"
#include "updater/TestHook.h"
#include "updater/Updater.h"

namespace fs = boost::filesystem;

namespace {

bool SameDigest(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// A backup's name when the installed file has no version: the local time to the minute.
std::string BackupStem() { return LocalTime::Now("%Y%m%d%H%M"); }

// The updater and the agent are never removed by an entry that only stages
// them: a machine without either is lost to the fleet.
bool IsProgram(const _updateListData& entry) {
    return (entry.dir.empty() || entry.dir == ".") &&
           (entry.name == "KX_Updater" || entry.name == "KX_InventoryAGT");
}

} // namespace

// Up to five downloads of one entry into its staged file; true when one
// matched the listed digest (and version). Gives up at once on a 404 or a
// version mismatch.
bool Updater::DownloadEntry(Downloader& downloader, const _updateListData& entry) {
    std::string staged = StagedFile(entry);
    std::string path = modulesPath + "/" + PercentEncodeSegment(entry.name);
    for (Retry retry = Attempts(Retries::kModule);;) {
        std::string hash;
        bool transferred;
        {
            // The bytes go to disk while they arrive: making the file ready
            // later waits for the last few only.
            durable::BackgroundFlush flush(staged);
            transferred = FetchModule(downloader, path, staged, entry, hash);
        }
        if (!refusal.empty())
            return false;
        const bool last = retry.Last();
        if (transferred) {
            digests.Remember(staged, hash);
            if (SameDigest(hash, entry.hash)) {
                if (entry.version == "0")
                    return true;
                std::string version;
                File::GetVersion(staged.c_str(), version);
                if (version == entry.version)
                    return true;
                return DownloadFailed(entry, "ver unmatch:[" + version + "]");
            }
            if (last)
                return DownloadFailed(entry, "hash unmatch");
        } else {
            switch (Retries::Judge(downloader, last)) {
            case Retries::Failure::NotFound: return DownloadFailed(entry, "not found");
            case Retries::Failure::HttpError:
                // A refusal (4xx): asking again gets the same answer.
                return DownloadFailed(entry, "http err:" + std::to_string(downloader.responseCode));
            case Retries::Failure::ConnectError:
                return DownloadFailed(entry, "connect err:" + std::to_string(downloader.error));
            case Retries::Failure::TryAgain: break;
            }
        }
        retry.Pause();
    }
}

bool Updater::DownloadFailed(const _updateListData& entry, const std::string& text) {
    Logger::Write("DownloadFiles: %s", text.c_str());
    status.Note(entry.name, entry.dir, "failed", text);
    return false;
}

bool Updater::DownloadFiles() {
    Logger::Write("DownloadFiles: %d file(s)", static_cast<int>(updateEntries.size()));
    boost::system::error_code error;
    fs::create_directory(fs::path(StagingDir()) / "modules", error);
    Downloader downloader(server, static_cast<unsigned>(port), ssl);
    downloadedEntries.clear();
    for (const _updateListData& entry : updateEntries) {
        Logger::Write("DownloadFiles: [%s]", entry.name.c_str());
        if (OutOfTime()) {
            DownloadFailed(entry, "out of time");
            continue;
        }
        if (DownloadEntry(downloader, entry)) {
            downloadedEntries.push_back(entry);
            status.Note(entry.name, entry.dir, "downloaded");
            continue;
        }
        if (!refusal.empty())
            return RefuseFiles(entry);
        // An abandoned download leaves nothing staged, unless an accepted
        // entry of the same name shares the staged file.
        bool shared = std::any_of(
            downloadedEntries.begin(), downloadedEntries.end(),
            [&](const _updateListData& accepted) { return accepted.name == entry.name; });
        if (!shared)
            durable::RemoveFile(StagedFile(entry));
    }
    return !downloadedEntries.empty();
}

// One file made ready at `file.ready`: the staged file itself renamed there,
// or (when the staged file must stay, or lies on another file system) a
// verified copy of it. Permission bits: the installed file's, else 0755 for a
// program and 0644 for anything else.
bool Updater::MakeReady(const Placement& file, bool keepStaged) {
    fs::path dir = fs::path(file.target).parent_path();
    boost::system::error_code error;
    if (!fs::is_directory(dir, error))
        fs::create_directory(dir, error);
    durable::RemoveFile(file.ready);
    bool moved = !keepStaged && ::rename(file.staged.c_str(), file.ready.c_str()) == 0;
    if (!moved) {
        if (!keepStaged && errno != EXDEV)
            return false;
        std::string stagedHash, readyHash;
        if (!durable::LinkOrCopy(file.staged, file.ready) ||
            !digests.GetFile(file.staged, stagedHash) || !digests.GetFile(file.ready, readyHash) ||
            !SameDigest(stagedHash, readyHash)) {
            durable::RemoveFile(file.ready);
            return false;
        }
    }
    struct stat installed;
    mode_t mode;
    if (::stat(file.target.c_str(), &installed) == 0)
        mode = installed.st_mode & 07777;
    else
        mode = durable::LooksExecutable(file.ready) ? 0755 : 0644;
    return ::chmod(file.ready.c_str(), mode) == 0 && durable::SyncFile(file.ready);
}

bool Updater::PrepareFiles() {
    plan.clear();
    std::string stem = BackupStem();
    std::string backupDir = (fs::path(workDir) / "backup").string();
    std::set<std::string> targets;
    for (const _updateListData& entry : downloadedEntries) {
        std::string target;
        if (!InstalledFile(entry, "PrepareFiles", target) || !targets.insert(target).second)
            continue;
        boost::system::error_code error;
        bool installed = fs::exists(fs::status(target, error));
        if (entry.skipReplace && (!installed || IsProgram(entry)))
            continue;
        Placement file;
        file.name = entry.name;
        file.target = target;
        file.staged = StagedFile(entry);
        if (!entry.skipReplace)
            file.ready = (fs::path(target).parent_path() /
                          (std::string(kUpdaterFilePrefix) + "new-" + entry.name))
                             .string();
        if (installed) {
            std::string version;
            if (!File::GetVersion(target.c_str(), version))
                version = stem;
            file.backup = (fs::path(backupDir) / (version + "_" + entry.name)).string();
        }
        plan.push_back(file);
    }
    if (plan.empty())
        return true;
    if (!WriteJournal(JournalFile(), workDir, JournalState::Prepared, plan)) {
        Logger::Write("PrepareFiles: error [%s]", "journal");
        return false;
    }
    for (auto file = plan.begin(); file != plan.end(); ++file) {
        if (file->ready.empty())
            continue;
        // A staged file stays while a later file or a staged-only entry needs it.
        bool keepStaged =
            std::any_of(file + 1, plan.end(),
                        [&](const Placement& later) {
                            return later.staged == file->staged && !later.ready.empty();
                        }) ||
            std::any_of(downloadedEntries.begin(), downloadedEntries.end(),
                        [&](const _updateListData& entry) {
                            return entry.skipReplace && StagedFile(entry) == file->staged;
                        });
        if (!MakeReady(*file, keepStaged)) {
            Logger::Write("PrepareFiles: error [%s]", file->name.c_str());
            Abandon(plan);
            return false;
        }
    }
    if (FaultAt("staged")) {
        Logger::Write("PrepareFiles: error [%s]", plan.back().name.c_str());
        Abandon(plan);
        return false;
    }
    return true;
}
