#pragma once
// What one agent run did, as the status file "last_run.json" beside the log
// tells it to a monitoring system: written at the end of every run, replaced
// whole (a reader never sees half a file), readable by the owner only.
//
//   {"program":"KX_InventoryAGT","version":"1.0.0.2",
//    "started":"2024-03-05T09:07:02+09:00","ended":"2024-03-05T09:07:09+09:00",
//    "outcome_code":0,"outcome":"uploaded","detail":"",
//    "files":[{"name":"KX-0-1220240305090703.dat","size":5120,"result":"uploaded",
//              "http_status":201,"curl_code":0,"error":""}, …]}

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// The outcome codes are part of the file's meaning: never renumber them.
enum class RunOutcome {
    Uploaded = 0,      // every data file was stored
    NotConfigured = 1, // no configuration file: collected, nothing sent
    NoCollection = 2,  // the collection script is missing, cannot run or was stopped: nothing sent
    ConnectionFailed = 3,     // the server could not be reached or did not answer the check
    AuthenticationFailed = 4, // the server refused the login (401 or 403)
    UploadFailed = 5,         // at least one data file was not stored
    InventoryFailed = 6,      // an inventory could not be made; the others were stored
    RunFailed = 7,            // the run ended early on an unexpected error
};

// One data file of the run and what became of its upload.
struct FileResult {
    std::string name;
    std::int64_t size = 0;
    std::string result;  // "uploaded", "failed", or "not sent"
    long httpStatus = 0; // the server's answer to the PUT, 0 when none came
    int curlCode = 0;    // libcurl's result code of the transfer, 0 when it completed
    std::string error;   // why it failed, empty when stored
};

struct RunStatus {
    std::time_t started = 0;
    std::time_t ended = 0;
    std::string version;
    RunOutcome outcome = RunOutcome::RunFailed;
    std::string detail = "the run ended before its upload";
    std::vector<FileResult> files;

    // The text of each outcome code ("uploaded", "not configured", …).
    static const char* Text(RunOutcome outcome);
    std::string ToJson() const;
};
