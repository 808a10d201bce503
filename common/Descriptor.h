#pragma once
// A file descriptor owned by one scope: closed when the scope ends, or earlier
// by `Close`, whose result counts (a write error may show only there).

#include <unistd.h>

class Descriptor {
public:
    explicit Descriptor(int owned = -1) : fd(owned) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    // Owns `owned` instead, closing the one held before.
    void Reset(int owned) {
        Close();
        fd = owned;
    }
    // Closes now; 0, or -1 when close(2) failed. Closing twice is harmless.
    int Close() {
        int result = fd >= 0 ? ::close(fd) : 0;
        fd = -1;
        return result;
    }

private:
    int fd;
};
