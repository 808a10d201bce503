// The first three steps of a run: fetch and verify the list, read it, and
// select the entries whose installed file differs.

#include <strings.h>
#include <sys/stat.h>

#include <fstream>

#include <boost/filesystem.hpp>

#include "updater/Downloader.h"
#include "updater/File.h"
#include "updater/Logger.h"
#include "updater/Retries.h"
#include "updater/Sha256.h"
#include "updater/Updater.h"

namespace fs = boost::filesystem;

namespace {

const char* const listFileName = "list.txt";

bool Exists(const std::string& path) {
    boost::system::error_code error;
    return fs::exists(fs::status(path, error));
}

} // namespace

bool Updater::DownloadList() {
    if (server.empty()) {
        Logger::Write("DownloadList: server empty");
        return false;
    }
    Logger::Write("DownloadList: from:%s port:%d ssl:%d", server.c_str(), port, ssl ? 1 : 0);
    boost::system::error_code error;
    fs::create_directory(StagingDir(), error);
    std::string listFile = (fs::path(StagingDir()) / listFileName).string();
    Downloader downloader(server, static_cast<unsigned>(port), ssl);
    if (!VerifyManifest(downloader))
        return false;

    // The list's digests are taken while its bytes arrive.
    std::string listHash, listSha256;
    for (Retry retry = Attempts(Retries::kList);;) {
        listHash.clear();
        Sha256 sha;
        if (downloader.DownloadtoFile(listPath, listFile, &listHash, Downloader::Fetch::List,
                                      [&sha](const char* data, std::size_t size) {
                                          sha.Update(data, size);
                                          return true;
                                      })) {
            listSha256 = sha.Finish();
            break;
        }
        switch (Retries::Judge(downloader, retry.Last())) {
        case Retries::Failure::NotFound:
            Logger::Write("DownloadList: not found: %s", listPath.c_str());
            return false;
        case Retries::Failure::HttpError:
            Logger::Write("DownloadList: http err:%d", downloader.responseCode);
            return false;
        case Retries::Failure::ConnectError:
            Logger::Write("DownloadList: connect err:%d %s", downloader.error,
                          downloader.reason.c_str());
            return false;
        case Retries::Failure::TryAgain: break;
        }
        retry.Pause();
    }
    Logger::Write("DownloadList: hash:%s", listHash.c_str());
    if (!VerifyList(listSha256))
        return false;

    for (Retry retry = Attempts(Retries::kList);;) {
        std::string served;
        const bool fetched =
            downloader.Download(listHashPath, served, TransferPolicy::kDigestBytes);
        const bool last = retry.Last();
        if (fetched) {
            if (strcasecmp(served.c_str(), listHash.c_str()) == 0 &&
                served.size() == listHash.size()) {
                Logger::Write("DownloadList Hash: %s", served.c_str());
                return true;
            }
            if (last) {
                Logger::Write("DownloadList Hash: unmatch");
                return false;
            }
            // A digest that differs is fetched again at once.
            retry.Again();
            continue;
        }
        switch (Retries::Judge(downloader, last)) {
        case Retries::Failure::NotFound:
            Logger::Write("DownloadList Hash: not found");
            return false;
        case Retries::Failure::HttpError:
            Logger::Write("DownloadList Hash: http err:%d", downloader.responseCode);
            return false;
        case Retries::Failure::ConnectError:
            Logger::Write("DownloadList Hash: connect err:%d %s", downloader.error,
                          downloader.reason.c_str());
            return false;
        case Retries::Failure::TryAgain: break;
        }
        retry.Pause();
    }
}

bool Updater::ReadList() {
    listEntries.clear();
    std::ifstream list((fs::path(StagingDir()) / listFileName).string(), std::ios::binary);
    if (list)
        listEntries = ParseList(list);
    return VerifyEntries();
}

bool Updater::CheckList() {
    Logger::Write("CheckList: %d", static_cast<int>(listEntries.size()));
    updateEntries.clear();
    refusals = 0;
    for (const _updateListData& entry : listEntries) {
        std::string installed;
        if (!InstalledFile(entry, "CheckList", installed))
            continue;
        // Only a regular file can be kept in "backup" and replaced whole.
        struct stat found;
        if (::stat(installed.c_str(), &found) == 0 && !S_ISREG(found.st_mode)) {
            Refused("CheckList", entry, "not a regular file");
            continue;
        }
        if (!Exists(installed)) {
            Logger::Write("CheckList: new file [%s]", entry.name.c_str());
            updateEntries.push_back(entry);
            continue;
        }
        if (entry.version == "0") {
            std::string hash;
            for (Retry retry(Retries::kInstalledDigest, sleep);; retry.Pause()) {
                hash.clear();
                if (digests.GetFile(installed, hash) || retry.Last())
                    break;
            }
            if (strcasecmp(hash.c_str(), entry.hash.c_str()) != 0) {
                Logger::Write("CheckList: overwrite [%s]%s", entry.name.c_str(), hash.c_str());
                updateEntries.push_back(entry);
            }
            continue;
        }
        std::string version;
        File::GetVersion(installed.c_str(), version);
        if (version < entry.version) {
            Logger::Write("CheckList: %s -> %s [%s]", version.c_str(), entry.version.c_str(),
                          entry.name.c_str());
            updateEntries.push_back(entry);
        } else if (version == entry.version) {
            std::string hash;
            digests.GetFile(installed, hash);
            if (strcasecmp(hash.c_str(), entry.hash.c_str()) != 0) {
                Logger::Write("CheckList: overwrite2 [%s]%s", entry.name.c_str(), hash.c_str());
                updateEntries.push_back(entry);
            }
        }
    }
    if (refusals > maxRefusalLines)
        Logger::Write("CheckList: refused %d more", refusals - maxRefusalLines);
    if (updateEntries.empty()) {
        Logger::Write("CheckList: 0");
        return false;
    }
    for (const _updateListData& entry : updateEntries)
        status.Note(entry.name, entry.dir, "selected");
    return true;
}
