#include "tools/kxpublish/PublishManifest.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <limits>

#include "updater/Hash.h"
#include "updater/Sha256.h"
#include "updater/SigningKey.h"

bool DigestModule(const std::string& path, std::string& md5Hex, ManifestFile& file) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    Md5 md5;
    Sha256 sha;
    std::vector<char> chunk(1 << 20);
    std::uint64_t size = 0;
    ssize_t got;
    while ((got = ::read(fd, chunk.data(), chunk.size())) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        md5.Update(chunk.data(), static_cast<std::size_t>(got));
        sha.Update(chunk.data(), static_cast<std::size_t>(got));
        size += static_cast<std::uint64_t>(got);
    }
    int readError = errno;
    ::close(fd);
    if (got < 0) {
        errno = readError;
        return false;
    }
    file.size = size;
    file.sha256 = sha.Finish();
    md5Hex.clear();
    return md5.Finish(md5Hex) && !file.sha256.empty();
}

namespace {

bool ParseVersion(const std::string& text, std::uint64_t& version) {
    if (text.empty() || text.size() > 19 || text[0] == '0')
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    version = std::stoull(text);
    return true;
}

} // namespace

bool SignedManifest(const ManifestRequest& request, const std::string& list,
                    const std::vector<ManifestFile>& files, std::string& text, std::string& error) {
    Manifest manifest;
    if (!ParseVersion(request.version, manifest.version)) {
        error = "--version needs a positive integer: " + request.version;
        return false;
    }
    if (!ParseUtcTime(request.expires, manifest.expiresAt)) {
        error = "--expires needs a time YYYY-MM-DDTHH:MM:SSZ: " + request.expires;
        return false;
    }
    manifest.expires = request.expires;
    manifest.listSha256 = Sha256::Of(list);
    manifest.files = files;
    SigningKey key;
    std::string why;
    if (!key.LoadPrivate(request.keyFile, why)) {
        error = request.keyFile + " " + why;
        return false;
    }
    std::string body = ManifestBody(manifest);
    if (body.empty()) {
        error = "a module name or folder is not UTF-8";
        return false;
    }
    std::string signature = key.Sign(body);
    if (signature.empty()) {
        error = "cannot sign with " + request.keyFile;
        return false;
    }
    text = ManifestText(body, signature);
    return true;
}
