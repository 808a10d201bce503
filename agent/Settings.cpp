// The agent's settings ("config.ini") and its daily log ("log/kxinv_YYYYMMDD.log").

#include <algorithm>
#include <iostream>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>

#include "CTransferCoordinator.h"
#include "IniWrapXml.h"
#include "utils.h"

namespace fs = boost::filesystem;

namespace {

const char* const kConfigName = "config.ini";
const char* const kSection = "Config";
const char* const kLogFolder = "log";
const std::string kLogPrefix = "kxinv_";
const size_t kLogsKept = 30;
const int kValueSize = 1024;

std::string readString(const std::string& file, const char* key) {
    std::string value;
    IniWrapXml::GetPrivateProfileString(kSection, key, "", value, kValueSize, file.c_str());
    return wmi::trim(value);
}

} // namespace

std::string CTransferCoordinator::configFile() const {
    const fs::path folder = configDir.empty() ? fs::path(".") : fs::path(configDir);
    boost::system::error_code ec;
    const fs::path exact = folder / kConfigName;
    if (fs::exists(exact, ec))
        return exact.string();
    // On a case-sensitive file system "Config.ini" and "config.ini" differ;
    // the server's installations use either. The first such name wins.
    std::vector<fs::path> matches;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (boost::algorithm::iequals(it->path().filename().string(), kConfigName))
            matches.push_back(it->path());
    }
    if (matches.empty())
        return std::string();
    return std::min_element(matches.begin(), matches.end())->string();
}

void CTransferCoordinator::loadConfigIni() {
    const std::string file = configFile();
    if (file.empty())
        return;
    server = readString(file, "Server");
    port = IniWrapXml::GetPrivateProfileInt(kSection, "Port", 80, file.c_str());
    username = readString(file, "Username");
    password = readString(file, "Password");
    ssl = IniWrapXml::GetPrivateProfileInt(kSection, "SSL", 0, file.c_str()) != 0;

    logWritable = true;
    boost::system::error_code ec;
    const fs::path folder = fs::current_path(ec) / kLogFolder;
    if (!ec) {
        boost::system::error_code statusError;
        const fs::file_status status = fs::status(folder, statusError);
        if (fs::is_directory(status)) {
            destDir = folder.string();
            logDelete();
            return;
        }
        if (status.type() == fs::file_not_found && fs::create_directories(folder, ec) && !ec) {
            destDir = folder.string();
            return;
        }
    }
    // "log" is a file, or cannot be created: the data files go into the
    // working directory and no log is kept for this run.
    destDir.clear();
    logWritable = false;
    std::cerr << "log folder " << folder.string() << " is not usable; no log is kept" << std::endl;
}

void CTransferCoordinator::log(const std::string& text) {
    if (!logWritable)
        return;
    const std::string name = wmi::currentTime("kxinv_%Y%m%d.log");
    const std::string stamp = wmi::currentTime("%Y/%m/%d %H:%M:%S");
    fs::ofstream out(fs::path(destDir) / name, std::ios::app | std::ios::binary);
    if (!out)
        return;
    out << stamp << '|' << text << '\n';
    out.flush();
}

void CTransferCoordinator::logDelete() {
    std::vector<fs::path> logs;
    boost::system::error_code ec;
    for (fs::directory_iterator it(destDir, ec), end; !ec && it != end; it.increment(ec)) {
        boost::system::error_code statusError;
        if (fs::is_directory(it->path(), statusError))
            continue;
        if (it->path().filename().string().compare(0, kLogPrefix.size(), kLogPrefix) == 0)
            logs.push_back(it->path());
    }
    if (logs.size() <= kLogsKept)
        return;
    // The names carry the date, so this keeps the 30 oldest days.
    std::sort(logs.begin(), logs.end());
    for (size_t i = kLogsKept; i < logs.size(); ++i)
        fs::remove(logs[i], ec);
}
