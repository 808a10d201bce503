// The transaction that replaces the installed files.
//
//   <dir>/<name>              --BackupFiles-->  backup/<YYYYmmddHHMM>_<name> (hard link or copy)
//   <dir>/.kxupd-new-<name>   --UpdateFiles-->  renamed over <dir>/<name>
//
// Before the first file is placed the journal says "commit"; from then on a
// failure, or the next run after a kill, puts every file back from its backup
// (a file that was new is removed again), so the installation holds the
// complete old set or, once the journal is gone, the complete new set.

#include <sys/stat.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include <boost/filesystem.hpp>

#include "updater/DurableFile.h"
#include "updater/Logger.h"
#include "common/PrivateFile.h"
#include "common/ModuleName.h"
#include "updater/TestHook.h"
#include "updater/Updater.h"

namespace fs = boost::filesystem;

namespace {

bool SameInode(const std::string& a, const std::string& b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool Exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

// Flushes the folders of the targets and backups, so that renames survive a
// power cut.
bool SyncFolders(const std::vector<Placement>& files) {
    std::set<std::string> dirs;
    for (const Placement& file : files) {
        dirs.insert(durable::DirOf(file.target));
        if (!file.backup.empty())
            dirs.insert(durable::DirOf(file.backup));
    }
    bool synced = true;
    for (const std::string& dir : dirs)
        synced = durable::SyncDir(dir) && synced;
    return synced;
}

std::string CopyTemporary(const std::string& backup) {
    return (fs::path(backup).parent_path() / (std::string(kUpdaterFilePrefix) + "copy")).string();
}

} // namespace

// Keeps the installed file at `file.backup`: a hard link where it can be (no
// bytes copied, the very same file), else a verified copy renamed into place
// whole. A backup of that name already holding the same bytes is kept.
bool Updater::MakeBackup(const Placement& file, std::string& orgHash, std::string& dstHash) {
    if (!digests.GetFile(file.target, orgHash))
        return false;
    Logger::Write("BackupFiles: org hash:%s", orgHash.c_str());
    if (Exists(file.backup)) {
        if (!SameInode(file.target, file.backup) && !digests.GetFile(file.backup, dstHash))
            return false;
        if (dstHash.empty())
            dstHash = orgHash;
        return strcasecmp(dstHash.c_str(), orgHash.c_str()) == 0;
    }
    if (::link(file.target.c_str(), file.backup.c_str()) == 0) {
        digests.Remember(file.backup, orgHash);
        dstHash = orgHash;
        return true;
    }
    std::string temporary = CopyTemporary(file.backup);
    durable::RemoveFile(temporary);
    if (!durable::CopyFile(file.target, temporary) || !digests.GetFile(temporary, dstHash) ||
        strcasecmp(dstHash.c_str(), orgHash.c_str()) != 0 ||
        ::rename(temporary.c_str(), file.backup.c_str()) != 0) {
        durable::RemoveFile(temporary);
        return false;
    }
    return true;
}

bool Updater::BackupFiles() {
    std::string backupDir = (fs::path(workDir) / "backup").string();
    // The old files are the owner's only, as the installed ones may not be.
    PrivateFile::MakeFolder(backupDir);
    boost::system::error_code error;
    fs::permissions(backupDir, fs::owner_all, error);
    for (const Placement& file : plan) {
        if (file.backup.empty())
            continue;
        std::string orgHash, dstHash;
        if (!MakeBackup(file, orgHash, dstHash) || FaultAt("backup")) {
            Logger::Write("BackupFiles: error");
            Abandon(plan);
            return false;
        }
        Logger::Write("BackupFiles: dst hash:%s", dstHash.c_str());
    }
    return true;
}

bool Updater::UpdateFiles() {
    Logger::Write("UpdateFiles: start %d file(s)", static_cast<int>(downloadedEntries.size()));
    if (plan.empty())
        return true;
    // The backups and the ready files are on disk before the journal says
    // that placing has begun.
    if (!SyncFolders(plan) ||
        !WriteJournal(JournalFile(), workDir, JournalState::Committed, plan)) {
        Logger::Write("UpdateFiles: error");
        Abandon(plan);
        return false;
    }
    for (std::size_t placed = 0; placed < plan.size(); ++placed) {
        const Placement& file = plan[placed];
        bool done;
        if (file.ready.empty()) {
            done = durable::RemoveFile(file.target);
        } else {
            Logger::Write("UpdateFiles: [%s]", file.name.c_str());
            done = ::rename(file.ready.c_str(), file.target.c_str()) == 0;
        }
        std::string point = "placed:" + std::to_string(placed + 1);
        bool last = placed + 1 == plan.size();
        if (!done || FaultAt(point) || (last && FaultAt("placed:last"))) {
            Logger::Write("UpdateFiles: error");
            RollBack(plan);
            return false;
        }
    }
    // Done only once the new names are on disk: a power cut after this never
    // brings back an old name or leaves a program without its bytes.
    SyncFolders(plan);
    // Were this removal lost, the next run would undo a complete update and
    // make it again: no flush is worth it.
    durable::RemoveFile(JournalFile());
    return true;
}

void Updater::Abandon(const std::vector<Placement>& files) {
    for (const Placement& file : files)
        if (!file.ready.empty())
            durable::RemoveFile(file.ready);
    durable::RemoveFile(JournalFile());
    durable::SyncDir(StagingDir());
}

bool Updater::RollBack(const std::vector<Placement>& files) {
    bool complete = true;
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        if (!file->ready.empty())
            durable::RemoveFile(file->ready);
        if (file->backup.empty()) {
            // A file that was new: the old set did not hold it.
            if (!file->ready.empty() && Exists(file->target)) {
                if (durable::RemoveFile(file->target)) {
                    Logger::Write("UpdateFiles: rollback [%s]", file->name.c_str());
                } else {
                    Logger::Write("UpdateFiles: rollback error [%s]", file->name.c_str());
                    complete = false;
                }
            }
            continue;
        }
        // The old file comes back by rename too: its path is never empty.
        std::string restored = (fs::path(file->target).parent_path() /
                                (std::string(kUpdaterFilePrefix) + "old-" + file->name))
                                   .string();
        durable::RemoveFile(restored); // left by a rollback that was killed
        if (SameInode(file->target, file->backup))
            continue; // never replaced
        if (durable::LinkOrCopy(file->backup, restored) &&
            ::rename(restored.c_str(), file->target.c_str()) == 0) {
            Logger::Write("UpdateFiles: rollback [%s]", file->name.c_str());
        } else {
            durable::RemoveFile(restored);
            Logger::Write("UpdateFiles: rollback error [%s]", file->name.c_str());
            complete = false;
        }
    }
    if (!SyncFolders(files))
        complete = false;
    if (complete) {
        durable::RemoveFile(JournalFile());
        durable::SyncDir(StagingDir());
    }
    return complete;
}

bool Updater::Recover() {
    // A backup copy a killed run left half-written has no name of a backup.
    durable::RemoveFile(CopyTemporary((fs::path(workDir) / "backup" / "x").string()));
    std::vector<Placement> files;
    JournalState state = ReadJournal(JournalFile(), workDir, files);
    switch (state) {
    case JournalState::None: return true;
    case JournalState::Damaged: Logger::Write("Recover: journal unreadable"); return false;
    case JournalState::Prepared:
        Logger::Write("Recover: unfinished update of %d file(s) dropped",
                      static_cast<int>(files.size()));
        Abandon(files);
        return true;
    case JournalState::Committed: break;
    }
    Logger::Write("Recover: interrupted update of %d file(s)", static_cast<int>(files.size()));
    if (RollBack(files))
        return true;
    Logger::Write("Recover: error");
    return false;
}
