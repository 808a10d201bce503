// Signed mode's steps of a run (UpdateVerifier.h): the manifest before the
// list, the list's bytes and entries, each file as it arrives, and the
// accepted release at the end. A refusal is one log line and ends the update
// before anything in the installation changes.

#include <ctime>

#include <boost/filesystem.hpp>

#include "updater/Downloader.h"
#include "updater/Logger.h"
#include "updater/Retries.h"
#include "updater/Updater.h"
#include "updater/UpdateVerifier.h"

namespace fs = boost::filesystem;

bool Updater::Refuse(const std::string& reason) {
    Logger::Write("Verify: refused: %s", reason.c_str());
    // The status file tells the outcome's step; this says why.
    status.detail = "signed update refused: " + reason;
    return false;
}

bool Updater::VerifyManifest(Downloader& downloader) {
    verifier.reset();
    if (!UpdateVerifier::Enabled(workDir))
        return true;
    auto checked = std::make_unique<UpdateVerifier>();
    std::string reason;
    if (!checked->Start(workDir, reason))
        return Refuse(reason);
    if (manifestPath.empty())
        return Refuse("no manifest (Update/Manifest is empty)");
    std::string text;
    // Any answer but a 404 is tried again.
    for (Retry retry = Attempts(Retries::kManifest);;) {
        text.clear();
        if (downloader.Download(manifestPath, text, maxManifestBytes))
            break;
        if (downloader.responseCode == 404)
            return Refuse("manifest not found: " + manifestPath);
        if (retry.Last())
            return Refuse("manifest connect err:" + std::to_string(downloader.error) + " " +
                          downloader.reason);
        retry.Pause();
    }
    if (!checked->CheckManifest(text, std::time(nullptr), reason))
        return Refuse(reason);
    Logger::Write("Verify: manifest version %llu",
                  static_cast<unsigned long long>(checked->Version()));
    verifier = std::move(checked);
    return true;
}

bool Updater::VerifyList(const std::string& listSha256) {
    std::string reason;
    return !verifier || verifier->CheckList(listSha256, reason) || Refuse(reason);
}

bool Updater::VerifyEntries() {
    std::string reason;
    if (!verifier || verifier->CheckEntries(listEntries, reason))
        return true;
    listEntries.clear();
    return Refuse(reason);
}

void Updater::AcceptRelease() {
    if (verifier && !verifier->Accept())
        Logger::Write("Verify: %s cannot be written", VerifyState::fileName);
}

bool Updater::FetchModule(Downloader& downloader, const std::string& path,
                          const std::string& staged, const _updateListData& entry,
                          std::string& md5) {
    if (!verifier)
        return downloader.DownloadtoFile(path, staged, &md5);
    // SHA-256 and size beside the MD5, on the same bytes as they arrive;
    // bytes past the stated size end the transfer.
    FileVerifier check(verifier->FileOf(entry));
    bool arrived = downloader.DownloadtoFile(
        path, staged, &md5, Downloader::Fetch::Module,
        [&check](const char* data, std::size_t size) { return check.Feed(data, size) == size; });
    if ((arrived || check.Overflowed()) && !check.Check(refusal))
        return false;
    return arrived;
}

bool Updater::RefuseFiles(const _updateListData& entry) {
    // Nothing this run downloaded stays staged.
    downloadedEntries.push_back(entry);
    for (const _updateListData& downloaded : downloadedEntries) {
        boost::system::error_code error;
        fs::remove(StagedFile(downloaded), error);
    }
    downloadedEntries.clear();
    status.Note(entry.name, entry.dir, "refused", refusal);
    return Refuse(refusal);
}
