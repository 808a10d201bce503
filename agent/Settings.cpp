// The agent's settings ("config.ini") and its daily log ("log/kxinv_YYYYMMDD.log").

#include <algorithm>
#include <iostream>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/operations.hpp>

#include "agent/CTransferCoordinator.h"
#include "common/IniWrapXml.h"
#include "common/KnownSettings.h"
#include "common/LogRetention.h"
#include "common/PrivateFile.h"
#include "common/utils.h"

namespace fs = boost::filesystem;

namespace {

const char* const kConfigName = "config.ini";
const char* const kSection = "Config";
const char* const kLogFolder = "log";
const std::string kLogPrefix = "kxinv_";
const char* const kLogPattern = "kxinv_%Y%m%d.log";
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
    sslVerify = IniWrapXml::GetPrivateProfileInt(kSection, "SSLVerify", 0, file.c_str()) != 0;
    caFile = readString(file, "CAFile");
    pinnedPublicKey = readString(file, "PinnedPublicKey");
    // Said once the log folder is known, so that the log has them.
    const std::vector<std::string> problems =
        IniWrapXml::Check(file.c_str(), KnownSettings::ConfigIni());

    logWritable = true;
    boost::system::error_code ec;
    const fs::path folder = fs::current_path(ec) / kLogFolder;
    if (!ec) {
        boost::system::error_code statusError;
        const fs::file_status folderStatus = fs::status(folder, statusError);
        const bool existed = fs::is_directory(folderStatus);
        if (existed || (folderStatus.type() == fs::file_not_found &&
                        PrivateFile::MakeFolder(folder.string()))) {
            destDir = folder.string();
            if (existed)
                logDelete();
            for (const std::string& problem : problems)
                log(problem);
            return;
        }
    }
    // "log" is a file, or cannot be created: the data files go into the
    // working directory and no log is kept for this run.
    destDir.clear();
    logWritable = false;
    std::cerr << "log folder " << folder.string() << " is not usable; no log is kept" << std::endl;
    for (const std::string& problem : problems)
        std::cerr << problem << std::endl;
}

void CTransferCoordinator::log(const std::string& text) {
    if (!logWritable)
        return;
    const std::string name = wmi::currentTime(kLogPattern);
    const std::string stamp = wmi::currentTime("%Y/%m/%d %H:%M:%S");
    // Created 0600: the log names the server and what the machine holds.
    PrivateFile::Append((fs::path(destDir) / name).string(), stamp + '|' + text + '\n');
}

void CTransferCoordinator::logDelete() {
    // The newest 30 days stay; today's file is never deleted.
    LogRetention::Prune(destDir, kLogPrefix, wmi::currentTime(kLogPattern));
}
