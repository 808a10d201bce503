#pragma once
// One update run, started in the installation directory:
//
//   DownloadList → ReadList → CheckList → DownloadFiles → StopTarget
//   → BackupFiles → UpdateFiles → StartTarget → Complete → Result
//
// Settings come from "config.ini" (section "Config") and "update.ini"
// (sections "Update", "Stop", "Start"); every path is built from the working
// directory taken at construction. Entries of the server's list are
// untrusted: nothing is written, backed up or removed outside that directory.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "DigestCache.h"
#include "Downloader.h"
#include "UpdateListData.h"

class Updater {
public:
    // Waits the given number of seconds between retries.
    using Sleep = std::function<void(unsigned seconds)>;

    Updater();
    // The same, with the retry pauses handed to `sleep` (tests shorten them).
    explicit Updater(Sleep sleep);
    ~Updater();

    bool Init();
    // Copies KX_Updater to "tmp_Updater.exe" and starts the copy with "tmp";
    // `message` receives the outcome as text. False when no copy could start.
    bool LaunchOwn(std::string& message);

    bool DownloadList();
    bool ReadList();
    bool CheckList();

    bool DownloadFiles();
    bool BackupFiles();
    bool UpdateFiles();

    bool StopTarget();
    bool StartTarget();
    bool Complete();
    void Result(std::string logText);

private:
    std::string StagingDir() const;
    std::string StagedFile(const _updateListData& entry) const;
    // The installed file of a trusted entry; false (with one log line naming
    // `step`) when the entry's path is untrusted or leads outside.
    bool InstalledFile(const _updateListData& entry, const char* step, std::string& path);
    bool WasDownloaded(const _updateListData& entry) const;
    bool DownloadEntry(Downloader& downloader, const _updateListData& entry);
    bool PutInPlace(const std::string& staged, const std::string& target,
                    const std::string& stagedHash, bool keepStaged);
    void ReadCommands(const char* section, std::vector<std::string>& commands);
    void ReadTransferSettings(const std::string& config, const std::string& update);

    std::string workDir;
    std::string iniFileName;
    std::string stagingDirName;
    std::string server;
    int port = 80;
    bool ssl = false;
    int hostId = 0;
    std::string listPath;
    std::string listHashPath;
    std::string modulesPath;
    std::string completePath;
    std::string logPath;
    std::vector<std::string> stopCommands;
    std::vector<std::string> startCommands;
    std::vector<_updateListData> listEntries;
    std::vector<_updateListData> updateEntries;
    std::vector<_updateListData> downloadedEntries;

    Sleep sleep;
    DigestCache digests;
    // Permission bits of the installed files BackupFiles removed, given to
    // their replacements (a replaced program stays executable).
    std::map<std::string, unsigned> replacedModes;
};
