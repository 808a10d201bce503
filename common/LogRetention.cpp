#include "common/LogRetention.h"

#include <algorithm>

#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

namespace LogRetention {

std::vector<std::string> Expired(std::vector<std::string> names, const std::string& today,
                                 std::size_t kept) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    if (names.size() <= kept)
        return {};
    names.resize(names.size() - kept);
    names.erase(std::remove(names.begin(), names.end(), today), names.end());
    return names;
}

void Prune(const std::string& folder, const std::string& prefix, const std::string& today,
           std::size_t kept) {
    std::vector<std::string> names;
    boost::system::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        boost::system::error_code statusError;
        if (fs::is_directory(it->status(statusError)))
            continue;
        std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0)
            names.push_back(name);
    }
    for (const std::string& name : Expired(names, today, kept)) {
        boost::system::error_code ignored;
        fs::remove(fs::path(folder) / name, ignored);
    }
}

} // namespace LogRetention
