#include "updater/DigestCache.h"

#include "updater/Hash.h"
#include "common/Portable.h"

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    const timespec aModified = Portable::ModifiedTime(a), bModified = Portable::ModifiedTime(b);
    const timespec aChanged = Portable::ChangedTime(a), bChanged = Portable::ChangedTime(b);
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           aModified.tv_sec == bModified.tv_sec && aModified.tv_nsec == bModified.tv_nsec &&
           aChanged.tv_sec == bChanged.tv_sec && aChanged.tv_nsec == bChanged.tv_nsec;
}

} // namespace

bool DigestCache::GetFile(const std::string& path, std::string& hex) {
    struct stat before;
    if (::stat(path.c_str(), &before) != 0)
        return false;
    auto found = known.find(path);
    if (found != known.end() && SameFile(found->second.status, before)) {
        hex += found->second.hex;
        return true;
    }
    std::string computed;
    if (!Hash::GetFile(path.c_str(), computed))
        return false;
    struct stat after;
    if (::stat(path.c_str(), &after) == 0 && SameFile(before, after))
        known[path] = Known{after, computed};
    hex += computed;
    return true;
}

void DigestCache::Remember(const std::string& path, const std::string& hex) {
    struct stat status;
    if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        known[path] = Known{status, hex};
    else
        known.erase(path);
}
