#include "common/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <boost/filesystem.hpp>

#include "common/LocalTime.h"

namespace fs = boost::filesystem;

namespace PrivateFile {

namespace {

const mode_t kFileMode = 0600;
const mode_t kFolderMode = 0700;

bool Fail(std::string* error, const std::string& what, int code) {
    if (error)
        *error = what + ": " + std::strerror(code);
    return false;
}

bool WriteAll(int fd, const std::string& text) {
    const char* at = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t done = ::write(fd, at, left);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        at += done;
        left -= static_cast<std::size_t>(done);
    }
    return true;
}

// Opens, writes and closes; on failure `error` names the step.
bool WriteFile(const std::string& path, int flags, const std::string& text, bool narrowMode,
               std::string* error) {
    int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, kFileMode);
    if (fd < 0)
        return Fail(error, "cannot open " + path, errno);
    bool ok = (!narrowMode || ::fchmod(fd, kFileMode) == 0) && WriteAll(fd, text);
    int code = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    return ok || Fail(error, "cannot write " + path, code);
}

} // namespace

bool Append(const std::string& path, const std::string& text, std::string* error) {
    return WriteFile(path, O_APPEND, text, false, error);
}

bool Touch(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, kFileMode);
    if (fd < 0)
        return Fail(error, "cannot create " + path, errno);
    ::close(fd);
    return true;
}

bool Replace(const std::string& path, const std::string& text, std::string* error) {
    return WriteFile(path, O_TRUNC, text, true, error);
}

bool ReplaceAtomically(const std::string& path, const std::string& text, std::string* error) {
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkstemp(&temporary[0]); // mode 0600
    if (fd < 0)
        return Fail(error, "cannot create " + temporary, errno);
    bool ok = ::fchmod(fd, kFileMode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    int code = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return Fail(error, "cannot write " + path, code);
    }
    return true;
}

bool MakeFolder(const std::string& path, std::string* error) {
    boost::system::error_code status;
    fs::file_status found = fs::status(path, status);
    if (fs::is_directory(found))
        return true;
    if (fs::exists(found))
        return Fail(error, "cannot create " + path, ENOTDIR);
    // Parents first, each created 0700 (mkdir applies the umask, chmod does not).
    fs::path folder(path);
    if (folder.has_parent_path() && folder.parent_path() != folder &&
        !folder.parent_path().empty() && !MakeFolder(folder.parent_path().string(), error))
        return false;
    if (::mkdir(path.c_str(), kFolderMode) != 0) {
        if (errno == EEXIST && fs::is_directory(path, status))
            return true;
        return Fail(error, "cannot create " + path, errno);
    }
    if (::chmod(path.c_str(), kFolderMode) != 0)
        return Fail(error, "cannot protect " + path, errno);
    return true;
}

std::string IsoTime(std::time_t when) {
    std::string result = LocalTime::Format(when, "%Y-%m-%dT%H:%M:%S%z");
    // "+0900" → "+09:00"
    if (result.size() >= 5)
        result.insert(result.size() - 2, ":");
    return result;
}

} // namespace PrivateFile
