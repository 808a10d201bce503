#include "common/InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Descriptor.h"
#include "common/LogText.h"

namespace inputfile {

namespace {

constexpr size_t kReadStep = 64 * 1024;

RefusalLog* currentLog = nullptr;

Contents refused(const std::string& reason) {
    Contents contents;
    contents.status = Contents::Status::Refused;
    contents.reason = reason;
    return contents;
}

std::string mebibytes(uint64_t limit) {
    return limit % (1 << 20) == 0 ? std::to_string(limit >> 20) + " MiB"
                                  : std::to_string(limit) + " bytes";
}

// Opens the file's last component relative to its folder, so that with
// Links::NotFollowed the descriptor is the file found there and not what a
// link names.
int openFile(const std::string& file, Links links) {
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    if (links == Links::Followed)
        return ::open(file.c_str(), flags);
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : file.substr(0, slash);
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return -1;
    return ::openat(dir.get(), name.c_str(), flags | O_NOFOLLOW);
}

} // namespace

Contents readRegularFile(const std::string& file, uint64_t limit, Links links) {
    const Descriptor fd(openFile(file, links));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            Contents missing;
            missing.reason = std::strerror(error);
            return missing;
        }
        if (error == ELOOP && links == Links::NotFollowed)
            return refused("a symbolic link, not followed");
        return refused(std::string("cannot open: ") + std::strerror(error));
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0)
        return refused(std::string("cannot read: ") + std::strerror(errno));
    if (S_ISDIR(status.st_mode))
        return refused(std::strerror(EISDIR));
    if (!S_ISREG(status.st_mode))
        return refused("not a regular file");
    if (static_cast<uint64_t>(status.st_size) > limit)
        return refused("larger than " + mebibytes(limit));

    // One spare byte: the read that finds the end needs no larger buffer.
    Contents contents;
    std::string& bytes = contents.bytes;
    bytes.resize(static_cast<size_t>(status.st_size) + 1);
    size_t have = 0;
    for (;;) {
        if (have == bytes.size())
            bytes.resize(
                static_cast<size_t>(std::min<uint64_t>(limit + 1, bytes.size() + kReadStep)));
        const ssize_t n = ::read(fd.get(), &bytes[have], bytes.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refused(std::string("cannot read: ") + std::strerror(errno));
        if (n == 0)
            break;
        have += static_cast<size_t>(n);
        if (have > limit)
            return refused("larger than " + mebibytes(limit));
    }
    bytes.resize(have);
    contents.status = Contents::Status::Read;
    return contents;
}

std::optional<std::string> readInput(const std::string& file, uint64_t limit) {
    Contents contents = readRegularFile(file, limit, Links::NotFollowed);
    switch (contents.status) {
    case Contents::Status::Read: return std::move(contents.bytes);
    case Contents::Status::Refused:
        if (currentLog != nullptr)
            currentLog->report(file, contents.reason);
        break;
    case Contents::Status::Missing: break;
    }
    return std::nullopt;
}

std::vector<std::string> splitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (size_t begin = 0; begin < bytes.size();) {
        const size_t end = std::min(bytes.find('\n', begin), bytes.size());
        lines.emplace_back(bytes, begin, end - begin);
        begin = end + 1;
    }
    return lines;
}

RefusalLog::RefusalLog(std::function<void(const std::string&)> lineWriter)
    : writeLine(std::move(lineWriter)), outer(currentLog) {
    currentLog = this;
}

RefusalLog::~RefusalLog() { currentLog = outer; }

void RefusalLog::report(const std::string& file, const std::string& reason) {
    if (reported.insert(file).second)
        writeLine("input refused: " + LogText::OneLine(file) + ": " + reason);
}

} // namespace inputfile
