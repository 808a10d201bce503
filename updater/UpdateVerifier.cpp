#include "updater/UpdateVerifier.h"

#include <algorithm>
#include <set>
#include <utility>

#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

const char* const UpdateVerifier::keyFileName = "update.pub";

bool UpdateVerifier::Enabled(const std::string& workDir) {
    boost::system::error_code error;
    fs::file_status status = fs::symlink_status(fs::path(workDir) / keyFileName, error);
    return status.type() != fs::file_not_found;
}

bool UpdateVerifier::Start(const std::string& dir, std::string& reason) {
    workDir = dir;
    std::string why;
    if (!key.LoadPublic((fs::path(workDir) / keyFileName).string(), why)) {
        reason = std::string(keyFileName) + " " + why;
        return false;
    }
    return state.Read(workDir, reason);
}

bool UpdateVerifier::CheckManifest(const std::string& text, std::time_t now, std::string& reason) {
    Manifest read;
    std::string why;
    if (!ReadManifest(text, read, why)) {
        reason = "manifest malformed: " + why;
        return false;
    }
    if (!key.Verify(read.body, read.signature)) {
        reason = "bad signature";
        return false;
    }
    if (now >= read.expiresAt) {
        reason = "manifest expired at " + read.expires;
        return false;
    }
    std::string digest = Sha256::Of(read.body);
    if (read.version < state.version) {
        reason = "version " + std::to_string(read.version) +
                 " is older than the accepted version " + std::to_string(state.version);
        return false;
    }
    if (read.version == state.version && digest != state.manifest) {
        reason = "version " + std::to_string(read.version) + " was accepted with other content";
        return false;
    }
    manifest = std::move(read);
    contentDigest = digest;
    return true;
}

bool UpdateVerifier::CheckList(const std::string& listSha256, std::string& reason) const {
    if (listSha256 != manifest.listSha256) {
        reason = "list SHA-256 is not the manifest's";
        return false;
    }
    return true;
}

namespace {

std::string Folder(const std::string& dir) { return dir.empty() ? "." : dir; }

} // namespace

bool UpdateVerifier::CheckEntries(const std::vector<_updateListData>& entries,
                                  std::string& reason) const {
    bool same = entries.size() == manifest.files.size() &&
                std::equal(entries.begin(), entries.end(), manifest.files.begin(),
                           [](const _updateListData& entry, const ManifestFile& file) {
                               return entry.name == file.name && entry.dir == file.dir;
                           });
    if (!same) {
        reason = "list entries are not the manifest's";
        return false;
    }
    // One statement per installed file, so that FileOf is never ambiguous.
    std::set<std::pair<std::string, std::string>> seen;
    for (const _updateListData& entry : entries) {
        if (!seen.insert({entry.name, Folder(entry.dir)}).second) {
            reason = "the list names [" + entry.name + "] in [" + Folder(entry.dir) + "] twice";
            return false;
        }
    }
    return true;
}

const ManifestFile& UpdateVerifier::FileOf(const _updateListData& entry) const {
    return *std::find_if(
        manifest.files.begin(), manifest.files.end(),
        [&](const ManifestFile& file) { return file.name == entry.name && file.dir == entry.dir; });
}

bool UpdateVerifier::Accept() const {
    VerifyState accepted;
    accepted.version = manifest.version;
    accepted.manifest = contentDigest;
    return accepted.Write(workDir);
}

std::size_t FileVerifier::Feed(const void* data, std::size_t length) {
    std::uint64_t room = expected.size - received;
    if (length > room) {
        overflowed = true;
        length = static_cast<std::size_t>(room);
    }
    sha.Update(data, length);
    received += length;
    return length;
}

bool FileVerifier::Check(std::string& reason) {
    if (overflowed) {
        reason = "[" + expected.name + "] is larger than the manifest's size";
        return false;
    }
    if (received != expected.size) {
        reason = "[" + expected.name + "] size is not the manifest's";
        return false;
    }
    if (sha.Finish() != expected.sha256) {
        reason = "[" + expected.name + "] SHA-256 is not the manifest's";
        return false;
    }
    return true;
}
