#include "updater/DurableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstring>
#include <vector>

#include "common/Descriptor.h"

namespace durable {

namespace {

bool SyncOpened(const std::string& path, int flags) {
    Descriptor file{::open(path.c_str(), flags | O_CLOEXEC)};
    return file.valid() && ::fsync(file.get()) == 0;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

} // namespace

bool SyncFile(const std::string& path) { return SyncOpened(path, O_RDONLY); }

bool SyncDir(const std::string& dir) { return SyncOpened(dir, O_RDONLY | O_DIRECTORY); }

bool CopyFile(const std::string& from, const std::string& to) {
    Descriptor source{::open(from.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat status;
    if (!source.valid() || ::fstat(source.get(), &status) != 0)
        return false;
    Descriptor target{::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
    if (!target.valid())
        return false;
    std::vector<char> chunk(1 << 20);
    bool copied = true;
    for (;;) {
        ssize_t got = ::read(source.get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        if (!WriteAll(target.get(), chunk.data(), static_cast<size_t>(got))) {
            copied = false;
            break;
        }
    }
    copied =
        copied && ::fchmod(target.get(), status.st_mode & 07777) == 0 && ::fsync(target.get()) == 0;
    if (target.Close() != 0)
        copied = false;
    if (!copied)
        ::unlink(to.c_str());
    return copied;
}

bool LinkOrCopy(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    return CopyFile(from, to);
}

bool WriteWhole(const std::string& path, const std::string& content, bool flush) {
    std::string temporary = path + ".tmp";
    ::unlink(temporary.c_str());
    {
        Descriptor file{::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)};
        if (!file.valid())
            return false;
        bool written = WriteAll(file.get(), content.data(), content.size()) &&
                       (!flush || ::fsync(file.get()) == 0);
        if (file.Close() != 0)
            written = false;
        if (!written) {
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return !flush || SyncDir(DirOf(path));
}

struct BackgroundFlush::State {
    std::string path;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::thread thread;
};

BackgroundFlush::BackgroundFlush(std::string path) : state(new State) {
    state->path = std::move(path);
    State* shared = state;
    state->thread = std::thread([shared] {
        // Short steps keep the disk writing at the pace the bytes arrive.
        const auto period = std::chrono::milliseconds(10);
        Descriptor file{-1};
        off_t flushed = 0;
        std::unique_lock<std::mutex> lock(shared->mutex);
        while (!shared->wake.wait_for(lock, period, [shared] { return shared->stop; })) {
            lock.unlock();
            if (!file.valid())
                file.Reset(::open(shared->path.c_str(), O_RDONLY | O_CLOEXEC));
            struct stat status;
            if (file.valid() && ::fstat(file.get(), &status) == 0 && status.st_size != flushed) {
                flushed = status.st_size;
                ::fsync(file.get());
            }
            lock.lock();
        }
    });
}

BackgroundFlush::~BackgroundFlush() {
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->stop = true;
    }
    state->wake.notify_one();
    state->thread.join();
    delete state;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool LooksExecutable(const std::string& path) {
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    unsigned char head[4] = {0, 0, 0, 0};
    if (!file.valid() || ::read(file.get(), head, sizeof head) < 2)
        return false;
    static const unsigned char magics[][4] = {
        {0x7f, 'E', 'L', 'F'},    {0xfe, 0xed, 0xfa, 0xce}, {0xfe, 0xed, 0xfa, 0xcf},
        {0xce, 0xfa, 0xed, 0xfe}, {0xcf, 0xfa, 0xed, 0xfe}, {0xca, 0xfe, 0xba, 0xbe},
    };
    for (const auto& magic : magics)
        if (std::memcmp(head, magic, sizeof magic) == 0)
            return true;
    return head[0] == '#' && head[1] == '!';
}

std::string DirOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace durable
