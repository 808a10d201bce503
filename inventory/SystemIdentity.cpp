#include "inventory/SystemIdentity.h"

#include <boost/filesystem/path.hpp>

namespace identity {

namespace {

constexpr const char* kDefaultSourceFolder = "result";

} // namespace

std::string sourceFolderName(const std::string& sourceDir) {
    boost::filesystem::path folder(sourceDir);
    while (!folder.empty() && folder.filename_is_dot()) // "result/" names "result"
        folder = folder.parent_path();
    const std::string leaf = folder.filename().string();
    return leaf == kDefaultSourceFolder ? std::string() : leaf;
}

HostName splitHostName(const std::string& line) {
    const size_t dot = line.find('.');
    if (dot == std::string::npos)
        return {line, std::string()};
    return {line.substr(0, dot), line.substr(dot + 1)};
}

} // namespace identity
