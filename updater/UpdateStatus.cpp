#include "updater/UpdateStatus.h"

#include "common/StatusFile.h"
#include "common/Version.h"

const char* UpdateStatus::Text(UpdateOutcome outcome) {
    switch (outcome) {
    case UpdateOutcome::Updated: return "updated";
    case UpdateOutcome::NoUpdate: return "no update";
    case UpdateOutcome::NotConfigured: return "not configured";
    case UpdateOutcome::ListFailed: return "list failed";
    case UpdateOutcome::DownloadFailed: return "download failed";
    case UpdateOutcome::UpdateFailed: return "update failed";
    case UpdateOutcome::RunFailed: return "run failed";
    }
    return "run failed";
}

void UpdateStatus::Note(const std::string& name, const std::string& dir, const std::string& result,
                        const std::string& why) {
    for (EntryResult& entry : entries)
        if (entry.name == name && entry.dir == dir) {
            entry.result = result;
            entry.detail = why;
            return;
        }
    entries.push_back({name, dir, result, why});
}

std::string UpdateStatus::ResultOf(const std::string& name, const std::string& dir) const {
    for (const EntryResult& entry : entries)
        if (entry.name == name && entry.dir == dir)
            return entry.result;
    return std::string();
}

std::string UpdateStatus::ToJson() const {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const EntryResult& entry : entries)
        list.push_back({{"name", entry.name},
                        {"dir", entry.dir},
                        {"result", entry.result},
                        {"detail", entry.detail}});
    nlohmann::ordered_json status =
        StatusFile::Open({"KX_Updater", KX_VERSION, started, ended, static_cast<int>(outcome),
                          Text(outcome), detail});
    status["log_upload"] = logUpload;
    // Names from the server's list need not be UTF-8.
    status["entries"] = list;
    return StatusFile::Text(status);
}
