// The upload of the run's data files to the server's WebDAV spool.

#include "agent/CTransferCoordinator.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include <boost/filesystem/operations.hpp>

#include "webdav/Client.h"
#include "common/LogText.h"

namespace {

const char* const kRoot = "/SPOOL/";
const char* const kSpoolDirectory = "/agent/decryptdata/";
const char* const kDataFilePrefix = "KX-";
const char* const kConnectFailed = " に接続失敗しました。";

// How a failed transfer ended, for one log line: libcurl's code and reason,
// or the status the server answered with.
std::string transferText(const WebDAV::Outcome& outcome) {
    if (outcome.code != 0)
        return "connect err:" + std::to_string(outcome.code) + " " +
               LogText::OneLine(outcome.reason);
    if (outcome.status != 0)
        return "http err:" + std::to_string(outcome.status);
    return "no answer";
}

} // namespace

bool CTransferCoordinator::upload() {
    // Without "Config.ini" nothing is sent and the run counts as uploaded.
    if (isDestDirRequired()) {
        status.outcome = RunOutcome::NotConfigured;
        status.detail = "no config.ini in " + (configDir.empty() ? std::string(".") : configDir);
        sendProgress(100, 100);
        return true;
    }

    const std::string baseUrl =
        std::string(ssl ? "https" : "http") + "://" + server + ":" + std::to_string(port);
    const WebDAV::dict_t options = {
        {"webdav_hostname", baseUrl},          {"webdav_login", username},
        {"webdav_password", password},         {"webdav_root", kRoot},
        {"ssl_verify", sslVerify ? "1" : "0"}, {"ca_file", caFile},
        {"pinned_public_key", pinnedPublicKey}};
    const std::unique_ptr<WebDAV::Client> client(WebDAV::Client::Init(options));
    if (!client->check("/")) {
        const WebDAV::Outcome outcome = client->outcome();
        if (outcome.code == 0 && (outcome.status == 401 || outcome.status == 403)) {
            // Standard output and listeners get the usual text; the log says
            // what it is: the server answered and refused the login.
            status.outcome = RunOutcome::AuthenticationFailed;
            status.detail = baseUrl + ": " + transferText(outcome);
            std::cout << baseUrl << kConnectFailed << '\n' << std::flush;
            for (CAbstractListener* listener : listeners)
                listener->onMessage(baseUrl + kConnectFailed, messageParams);
            log(baseUrl + " authentication failed: " + transferText(outcome));
            return false;
        }
        status.outcome = RunOutcome::ConnectionFailed;
        status.detail = baseUrl + ": " + transferText(outcome);
        sendMessage(baseUrl + kConnectFailed, messageParams);
        // Why, beside it in the log: libcurl's reason (a refused certificate,
        // …) or the server's status (a missing spool root).
        log(transferText(outcome));
        return false;
    }

    // The data files of this run with their sizes. A file that has vanished
    // since it was written counts 0 here and fails below.
    std::vector<std::pair<std::string, int64_t>> selected;
    int64_t total = 0;
    for (const std::string& file : producedFiles) {
        const std::string name = boost::filesystem::path(file).filename().string();
        if (name.compare(0, 3, kDataFilePrefix) != 0)
            continue;
        boost::system::error_code missing;
        const uintmax_t size = boost::filesystem::file_size(file, missing);
        selected.emplace_back(file, missing ? 0 : static_cast<int64_t>(size));
        total += selected.back().second;
    }
    if (producedFiles.empty() || total == 0)
        sendProgress(100, 100);

    bool stored = true;
    int64_t uploaded = 0;
    for (const auto& [file, size] : selected) {
        std::ifstream stream(file, std::ios::binary);
        const int openError = errno;
        FileResult result;
        result.name = boost::filesystem::path(file).filename().string();
        result.size = size;
        if (!stream) {
            result.error = std::string("cannot be read: ") + std::strerror(openError);
        } else {
            const bool done = client->upload_from(kSpoolDirectory + ("/" + result.name), stream);
            const WebDAV::Outcome outcome = client->outcome();
            result.httpStatus = outcome.status;
            result.curlCode = outcome.code;
            if (done)
                result.result = "uploaded";
            else
                result.error = transferText(outcome);
        }
        if (result.result.empty()) {
            result.result = "failed";
            stored = false;
            log("upload " + result.name + ": " + result.error);
        } else {
            uploaded += size;
            log("upload " + result.name + ": " + std::to_string(result.httpStatus));
        }
        status.files.push_back(result);
        sendProgress(uploaded, total);
    }
    if (!stored) {
        status.outcome = RunOutcome::UploadFailed;
        status.detail = "not every data file was stored";
    } else if (!managerFailure.empty()) {
        status.outcome = RunOutcome::InventoryFailed;
        status.detail = managerFailure;
    } else {
        status.outcome = RunOutcome::Uploaded;
        status.detail.clear();
    }
    return stored;
}
