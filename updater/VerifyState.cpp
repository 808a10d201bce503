#include "updater/VerifyState.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include <boost/filesystem.hpp>

#include "updater/Sha256.h"

namespace fs = boost::filesystem;

const char* const VerifyState::fileName = "update.state";

namespace {

const std::size_t maxStateBytes = 256;

bool WriteAll(int fd, const std::string& content) {
    for (std::size_t done = 0; done < content.size();) {
        ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace

bool VerifyState::Read(const std::string& dir, std::string& reason) {
    version = 0;
    manifest.clear();
    fs::path path = fs::path(dir) / fileName;
    boost::system::error_code error;
    fs::file_status status = fs::symlink_status(path, error);
    if (status.type() == fs::file_not_found)
        return true;
    std::ifstream in(path.string(), std::ios::binary);
    std::string text(maxStateBytes + 1, '\0');
    if (in)
        in.read(&text[0], static_cast<std::streamsize>(text.size()));
    if (!in && !in.eof()) {
        reason = std::string(fileName) + " cannot be read";
        return false;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    // "version <digits>\nmanifest <64 hex>\n"
    const std::string versionKey = "version ", manifestKey = "\nmanifest ";
    std::size_t keyAt = text.find(manifestKey);
    bool ok = text.size() <= maxStateBytes && text.compare(0, versionKey.size(), versionKey) == 0 &&
              keyAt != std::string::npos && !text.empty() && text.back() == '\n';
    std::string number, digest;
    if (ok) {
        number = text.substr(versionKey.size(), keyAt - versionKey.size());
        digest = text.substr(keyAt + manifestKey.size());
        digest.pop_back();
        ok = !number.empty() && number.size() <= 19 && number[0] != '0' &&
             Sha256::IsDigestText(digest);
        for (char c : number)
            ok = ok && std::isdigit(static_cast<unsigned char>(c));
    }
    if (!ok) {
        reason = std::string(fileName) + " is malformed";
        return false;
    }
    version = std::stoull(number);
    manifest = digest;
    return true;
}

bool VerifyState::Write(const std::string& dir) const {
    fs::path path = fs::path(dir) / fileName;
    fs::path temporary = path;
    temporary += ".tmp";
    std::string content = "version " + std::to_string(version) + "\nmanifest " + manifest + "\n";
    ::unlink(temporary.c_str());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}
