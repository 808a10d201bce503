#pragma once
// A file descriptor owned by one scope: closed when the scope ends, or earlier
// by `Close`, whose result counts (a write error may show only there).

#include <unistd.h>

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Owns `fd` instead, closing the one held before.
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    // Closes now; 0, or -1 when close(2) failed. Closing twice is harmless.
    int Close() {
        int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};
