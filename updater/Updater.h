#pragma once
// One update run, started in the installation directory:
//
//   Recover → DownloadList → ReadList → CheckList → DownloadFiles
//   → PrepareFiles → StopTarget → BackupFiles → UpdateFiles → StartTarget
//   → Complete → Result
//
// The files are replaced as one transaction: every new file is downloaded,
// verified and made ready beside its target before anything installed is
// touched; each old file is kept in "backup" and the new one renamed over it,
// so a target path never lacks a complete file; a failure puts every file of
// the run back, and a journal lets the next run undo one that was killed.
//
// Settings come from "config.ini" (section "Config") and "update.ini"
// (sections "Update", "Stop", "Start"); every path is built from the working
// directory taken at construction. Entries of the server's list are
// untrusted: nothing is written, backed up or removed outside that directory.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Retry.h"
#include "updater/DigestCache.h"
#include "updater/Downloader.h"
#include "updater/Journal.h"
#include "updater/UpdateListData.h"
#include "updater/UpdateStatus.h"
#include "updater/UpdateVerifier.h"

class Updater {
public:
    // Waits the given number of seconds between retries.
    using Sleep = std::function<void(unsigned seconds)>;

    Updater();
    // The same, with the retry pauses handed to `pause` (tests shorten them).
    explicit Updater(Sleep pause);
    ~Updater();

    bool Init();
    // Copies KX_Updater to "tmp_Updater.exe" and starts the copy with "tmp";
    // `message` receives the outcome as text. False when no copy could start.
    bool LaunchOwn(std::string& message);

    bool DownloadList();
    bool ReadList();
    bool CheckList();

    // Undoes a transaction an earlier run left unfinished; false when that
    // could not be done completely (the run must then touch nothing else).
    bool Recover();

    bool DownloadFiles();
    // Makes every downloaded file ready beside its target (same file system,
    // final permission bits, flushed); false, with everything made ready
    // removed again, when one cannot be.
    bool PrepareFiles();
    // Keeps each file about to be replaced or removed in "backup"; false,
    // with the ready files removed, when one cannot be kept.
    bool BackupFiles();
    // Puts the ready files in place; false, after putting back every file of
    // the run, when one cannot be.
    bool UpdateFiles();

    bool StopTarget();
    bool StartTarget();
    bool Complete();
    void Result(std::string logText);
    // Signed mode: records the verified release after a run that left the
    // installation at it (replaced, or nothing to do).
    void AcceptRelease();

    // False when no server is set: there is nothing to update from.
    bool Configured() const { return !server.empty(); }
    // What the run did so far; a run sets `started` (which makes the
    // destructor write the file if the run never got to WriteStatus).
    UpdateStatus& Status() { return status; }
    // Writes Status() (end time now) as "updatelog/last_run.json"; a failure
    // is one log line.
    bool WriteStatus();
    // Notes in Status() what became of every downloaded entry once the
    // replacement is over: "updated" (or "staged" for one only downloaded),
    // or "failed" when nothing was replaced.
    void NoteReplacement(bool replaced);

private:
    std::string StagingDir() const;
    std::string StagedFile(const _updateListData& entry) const;
    // The installed file of a trusted entry; false (with one log line naming
    // `step`) when the entry's path is untrusted or leads outside.
    bool InstalledFile(const _updateListData& entry, const char* step, std::string& path);
    bool WasDownloaded(const _updateListData& entry) const;
    std::string JournalFile() const;
    void Refused(const char* step, const _updateListData& entry, const char* reason);
    bool DownloadEntry(Downloader& downloader, const _updateListData& entry);
    // Logs "DownloadFiles: <text>", notes the entry as failed; returns false.
    bool DownloadFailed(const _updateListData& entry, const std::string& text);
    bool MakeReady(const Placement& file, bool keepStaged);
    bool MakeBackup(const Placement& file, std::string& orgHash, std::string& dstHash);
    // Removes the ready files and the journal of a transaction that placed nothing.
    void Abandon(const std::vector<Placement>& files);
    // Puts every file of `files` back as it was before the transaction; the
    // journal goes when that succeeded for all.
    bool RollBack(const std::vector<Placement>& files);
    void ReadCommands(const char* section, std::vector<std::string>& commands);
    void ReadTransferSettings(const std::string& config, const std::string& update);

    // Signed mode (UpdateSigned.cpp); each false is a refusal, logged once.
    bool Refuse(const std::string& reason);
    bool VerifyManifest(Downloader& downloader);
    bool VerifyList(const std::string& listSha256);
    bool VerifyEntries();
    // A module's transfer; in signed mode its bytes are checked as they
    // arrive and a mismatch leaves the reason in `refusal`.
    bool FetchModule(Downloader& downloader, const std::string& path, const std::string& staged,
                     const _updateListData& entry, std::string& md5);
    bool RefuseFiles(const _updateListData& entry);

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
    std::string manifestPath;
    std::vector<std::string> stopCommands;
    std::vector<std::string> startCommands;
    std::vector<_updateListData> listEntries;
    std::vector<_updateListData> updateEntries;
    std::vector<_updateListData> downloadedEntries;

    Sleep sleep;
    // The run's clock: once `kRunBudget` has passed, no request is started
    // again (retries and further downloads are given up; the completion
    // report and the log upload still get their one attempt), so a run
    // against a server that stalls every request ends within 15 minutes:
    // 9 minutes, the longest request under way then (2 minutes), one
    // completion report and one log upload (2 minutes each).
    // KX_TEST_RUN_BUDGET=<seconds> shortens it for tests.
    static constexpr std::chrono::seconds kRunBudget{9 * 60};
    std::chrono::steady_clock::time_point runStarted = std::chrono::steady_clock::now();
    std::chrono::seconds runBudget = kRunBudget;
    bool OutOfTime() const;
    // The attempts of one request after `steps`, on the run's pauses and clock.
    Retry Attempts(const RetryPlan& steps) const;
    UpdateStatus status;
    bool statusWritten = false;
    DigestCache digests;
    // The files of this run's transaction, in list order.
    std::vector<Placement> plan;
    // CheckList refusals so far; beyond a hundred they are only counted.
    static const int maxRefusalLines = 100;
    int refusals = 0;
    // Signed mode: the checks of this run's verified manifest (none when the
    // installation holds no update.pub), and why a module was refused.
    std::unique_ptr<UpdateVerifier> verifier;
    std::string refusal;
};
