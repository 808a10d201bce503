#pragma once
// What one update run did, as the status file "updatelog/last_run.json"
// tells it to a monitoring system: written at the end of every update run,
// replaced whole (a reader never sees half a file), readable by the owner only.
//
//   {"program":"KX_Updater","version":"1.0.0.2",
//    "started":"2024-03-05T08:00:01+09:00","ended":"2024-03-05T08:00:09+09:00",
//    "outcome_code":0,"outcome":"updated","detail":"","log_upload":"sent",
//    "entries":[{"name":"KX_InventoryAGT","dir":".","result":"updated","detail":""}, …]}

#include <ctime>
#include <string>
#include <vector>

// The outcome codes are part of the file's meaning: never renumber them.
enum class UpdateOutcome {
    Updated = 0,        // the selected files were replaced and the start commands run
    NoUpdate = 1,       // every installed file matches the list
    NotConfigured = 2,  // no server or no list path in the settings
    ListFailed = 3,     // the list or its digest could not be fetched or did not match
    DownloadFailed = 4, // no selected file could be fetched and verified: nothing replaced
    UpdateFailed = 5, // backing up or replacing failed: the installed files were left as they were
    RunFailed = 6,    // the run ended early on an unexpected error
};

// One entry of the list that took part in the run.
struct EntryResult {
    std::string name;
    std::string dir;
    std::string result; // "selected", "downloaded", "updated", "staged", "failed", "refused"
    std::string detail; // why, for "failed" and "refused"
};

struct UpdateStatus {
    std::time_t started = 0;
    std::time_t ended = 0;
    UpdateOutcome outcome = UpdateOutcome::RunFailed;
    std::string detail; // in words; the log has the particulars
    // How the upload of the run's log went: "sent", "http err:<code>",
    // "connect err:<code> <reason>", or "not sent" (no update, no server or log path).
    std::string logUpload = "not sent";
    std::vector<EntryResult> entries;

    static const char* Text(UpdateOutcome outcome);
    // Records what became of an entry (a later note for the same name and
    // folder replaces the earlier one).
    void Note(const std::string& name, const std::string& dir, const std::string& result,
              const std::string& why = "");
    // The result noted for an entry, empty when none was.
    std::string ResultOf(const std::string& name, const std::string& dir) const;
    std::string ToJson() const;
};
