#pragma once
// Digests already computed in this run, reused while the file is unchanged:
// the same device, inode, size, modification and change time as when the
// digest was taken. Saves reading a large module a second or third time.

#include <map>
#include <string>

#include <sys/stat.h>

class DigestCache {
public:
    // Like Hash::GetFile (appends to `hex`, false when unreadable), answered
    // from the cache when the file is unchanged.
    bool GetFile(const std::string& path, std::string& hex);
    // Records `hex` as the digest of the file now at `path`.
    void Remember(const std::string& path, const std::string& hex);

private:
    struct Known {
        struct stat status;
        std::string hex;
    };
    std::map<std::string, Known> known;
};
