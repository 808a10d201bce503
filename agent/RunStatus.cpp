#include "agent/RunStatus.h"

#include "common/StatusFile.h"

const char* RunStatus::Text(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Uploaded: return "uploaded";
    case RunOutcome::NotConfigured: return "not configured";
    case RunOutcome::NoCollection: return "no collection";
    case RunOutcome::ConnectionFailed: return "connection failed";
    case RunOutcome::AuthenticationFailed: return "authentication failed";
    case RunOutcome::UploadFailed: return "upload failed";
    case RunOutcome::InventoryFailed: return "inventory failed";
    case RunOutcome::RunFailed: return "run failed";
    }
    return "run failed";
}

std::string RunStatus::ToJson() const {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const FileResult& file : files)
        list.push_back({{"name", file.name},
                        {"size", file.size},
                        {"result", file.result},
                        {"http_status", file.httpStatus},
                        {"curl_code", file.curlCode},
                        {"error", file.error}});
    nlohmann::ordered_json status =
        StatusFile::Open({"KX_InventoryAGT", version, started, ended, static_cast<int>(outcome),
                          Text(outcome), detail});
    // Texts from outside (server answers, file names) need not be UTF-8.
    status["files"] = list;
    return StatusFile::Text(status);
}
