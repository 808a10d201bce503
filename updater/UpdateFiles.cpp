// Download, backup and replacement of the selected files.
//
//   updatetmp/<name>  --DownloadFiles-->  verified staged file
//   <dir>/<name>      --BackupFiles---->  backup/<YYYYmmddHHMM>_<name>, then removed
//   staged file       --UpdateFiles---->  <dir>/<name>

#include <fcntl.h>
#include <sys/stat.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "Downloader.h"
#include "File.h"
#include "Logger.h"
#include "Updater.h"

namespace fs = std::filesystem;

namespace {

const int fileAttempts = 5;
const unsigned downloadPauseSeconds = 10;
const unsigned copyPauseSeconds = 1;

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::status(path, error));
}

void Remove(const std::string& path) {
    std::error_code error;
    fs::remove(path, error);
}

bool SameDigest(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Copies `from` to a new file `to`; never replaces or writes through an
// existing name (a symbolic link included). A partial copy is removed.
bool CopyNoReplace(const std::string& from, const std::string& to) {
    Descriptor source{::open(from.c_str(), O_RDONLY | O_CLOEXEC)};
    if (source.fd < 0)
        return false;
    Descriptor target{::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755)};
    if (target.fd < 0)
        return false;
    std::vector<char> chunk(1 << 20);
    bool copied = true;
    for (;;) {
        ssize_t got = ::read(source.fd, chunk.data(), chunk.size());
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        for (ssize_t done = 0; copied && done < got;) {
            ssize_t put = ::write(target.fd, chunk.data() + done, static_cast<size_t>(got - done));
            copied = put > 0;
            done += put > 0 ? put : 0;
        }
        if (!copied)
            break;
    }
    struct stat status;
    if (copied && ::fstat(source.fd, &status) == 0)
        ::fchmod(target.fd, status.st_mode & 07777);
    if (::close(target.fd) != 0)
        copied = false;
    target.fd = -1;
    if (!copied)
        Remove(to);
    return copied;
}

std::string BackupStem() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stem[32];
    std::strftime(stem, sizeof stem, "%Y%m%d%H%M", &local);
    return stem;
}

} // namespace

// Up to five downloads of one entry into its staged file; true when one
// matched the listed digest (and version). Gives up at once on a 404 or a
// version mismatch.
bool Updater::DownloadEntry(Downloader& downloader, const _updateListData& entry) {
    std::string staged = StagedFile(entry);
    std::string path = modulesPath + "/" + entry.name;
    for (int attempt = 1;; ++attempt) {
        std::string hash;
        bool mismatch = false;
        if (downloader.DownloadtoFile(path, staged, &hash)) {
            digests.Remember(staged, hash);
            if (SameDigest(hash, entry.hash)) {
                if (entry.version == "0")
                    return true;
                std::string version;
                File::GetVersion(staged.c_str(), version);
                if (version == entry.version)
                    return true;
                Logger::Write("DownloadFiles: ver unmatch:[%s]", version.c_str());
                return false;
            }
            mismatch = true;
        } else if (downloader.responseCode == 404) {
            Logger::Write("DownloadFiles: not found");
            return false;
        }
        if (attempt == fileAttempts) {
            if (mismatch)
                Logger::Write("DownloadFiles: hash unmatch");
            else
                Logger::Write("DownloadFiles: connect err:%d", downloader.error);
            return false;
        }
        sleep(downloadPauseSeconds);
    }
}

bool Updater::DownloadFiles() {
    Logger::Write("DownloadFiles: %d file(s)", static_cast<int>(updateEntries.size()));
    Downloader downloader(server, static_cast<unsigned>(port), ssl);
    downloadedEntries.clear();
    for (const _updateListData& entry : updateEntries) {
        Logger::Write("DownloadFiles: [%s]", entry.name.c_str());
        if (DownloadEntry(downloader, entry)) {
            downloadedEntries.push_back(entry);
            continue;
        }
        // An abandoned download leaves nothing staged, unless an accepted
        // entry of the same name shares the staged file.
        bool shared = std::any_of(downloadedEntries.begin(), downloadedEntries.end(),
                                  [&](const _updateListData& accepted) {
                                      return accepted.name == entry.name;
                                  });
        if (!shared)
            Remove(StagedFile(entry));
    }
    return !downloadedEntries.empty();
}

bool Updater::BackupFiles() {
    ReadList();
    std::string backupDir = (fs::path(workDir) / "backup").string();
    std::error_code error;
    fs::create_directory(backupDir, error);
    for (const _updateListData& entry : listEntries) {
        // Only what this run downloaded and verified may cost an installed file.
        if (!WasDownloaded(entry) || !Exists(StagedFile(entry)))
            continue;
        std::string installed;
        if (!InstalledFile(entry, "BackupFiles", installed) || !Exists(installed))
            continue;
        std::string stem;
        if (!File::GetVersion(installed.c_str(), stem))
            stem = BackupStem();
        std::string backup = (fs::path(backupDir) / (stem + "_" + entry.name)).string();
        std::string orgHash;
        digests.GetFile(installed, orgHash);
        Logger::Write("BackupFiles: org hash:%s", orgHash.c_str());
        for (int attempt = 1;; ++attempt) {
            if (CopyNoReplace(installed, backup)) {
                std::string dstHash;
                digests.GetFile(backup, dstHash);
                if (SameDigest(dstHash, orgHash)) {
                    Logger::Write("BackupFiles: dst hash:%s", dstHash.c_str());
                    struct stat status;
                    if (::stat(installed.c_str(), &status) == 0)
                        replacedModes[installed] = status.st_mode & 07777;
                    Remove(installed);
                    break;
                }
                Remove(backup); // our own copy, unverified
            }
            if (attempt == fileAttempts) {
                Logger::Write("BackupFiles: error");
                break;
            }
            sleep(copyPauseSeconds);
        }
    }
    return true;
}

// One attempt to put a verified staged file at `target`, never replacing an
// existing file. On one file system the staged file is renamed into place
// (atomic, nothing copied); across file systems, or when the staged file must
// stay for a later entry, it is copied and the copy verified.
bool Updater::PutInPlace(const std::string& staged, const std::string& target,
                         const std::string& stagedHash, bool keepStaged) {
    if (!keepStaged) {
        if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS)
            return false;
    }
    if (!CopyNoReplace(staged, target))
        return false;
    std::string targetHash;
    digests.GetFile(target, targetHash);
    if (!SameDigest(targetHash, stagedHash)) {
        Remove(target); // our own copy, unverified
        return false;
    }
    if (!keepStaged)
        Remove(staged);
    return true;
}

bool Updater::UpdateFiles() {
    Logger::Write("UpdateFiles: start %d file(s)", static_cast<int>(downloadedEntries.size()));
    for (auto entry = downloadedEntries.begin(); entry != downloadedEntries.end(); ++entry) {
        if (entry->skipReplace)
            continue;
        std::string target;
        if (!InstalledFile(*entry, "UpdateFiles", target))
            continue;
        if (!entry->dir.empty() && entry->dir != ".") {
            std::error_code error;
            fs::path dir = fs::path(workDir) / entry->dir;
            if (!fs::is_directory(dir, error))
                fs::create_directory(dir, error);
        }
        Logger::Write("UpdateFiles: [%s]", entry->name.c_str());
        std::string staged = StagedFile(*entry);
        if (!Exists(staged))
            continue;
        // Entries of the same name share one staged file: it stays while a
        // later entry still needs it.
        bool keepStaged = std::any_of(entry + 1, downloadedEntries.end(),
                                      [&](const _updateListData& later) {
                                          return later.name == entry->name && !later.skipReplace;
                                      });
        std::string stagedHash;
        digests.GetFile(staged, stagedHash);
        for (int attempt = 1;; ++attempt) {
            if (PutInPlace(staged, target, stagedHash, keepStaged)) {
                auto mode = replacedModes.find(target);
                if (mode != replacedModes.end())
                    ::chmod(target.c_str(), mode->second);
                break;
            }
            if (attempt == fileAttempts) {
                Logger::Write("UpdateFiles: error");
                return false;
            }
            sleep(copyPauseSeconds);
        }
    }
    return true;
}
