// Linux installed packages: "app" (one package per line) with, on Ubuntu and
// Debian, "app_install" (the installation log the times come from).
#include "inventory/CSWInfoManager.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/filesystem/path.hpp>

#include "inventory/linux/LinuxInput.h"

namespace {

constexpr size_t kPackageFields = 3; // name, version, installation key or time

// Fields separated by blanks; a run of blanks is one separator, a leading
// blank gives an empty first field.
std::vector<std::string> packageFields(const std::string& line) {
    std::vector<std::string> fields;
    boost::algorithm::split(fields, line, boost::algorithm::is_any_of(" "),
                            boost::algorithm::token_compress_on);
    return fields;
}

tagAPPLIDATASTRUCT package(const std::vector<std::string>& fields) {
    tagAPPLIDATASTRUCT application;
    application.name = fields[0];
    application.version = fields[1];
    application.reservedNumber = 0;
    return application;
}

// "app_install", installation-log lines: date and time at fixed positions,
// " install ", then the installation key:
//     2019-03-04 05:06:07 install bash:amd64
std::map<std::string, std::string> installationDates(const boost::filesystem::path& file) {
    const std::string marker = " install ";
    std::map<std::string, std::string> dates;
    for (const std::string& line : linuxinput::readLines(file)) {
        const size_t at = line.find(marker);
        if (at != std::string::npos)
            dates[line.substr(at + marker.size())] = line.substr(0, at); // the last line wins
    }
    return dates;
}

// 2019-03-04 05:06:07 as local time; 0 for a text too short for its
// positions, or one the local-time conversion refuses.
std::time_t localDateTime(const std::string& text) {
    constexpr size_t kDateTimeLength = 19;
    if (text.size() < kDateTimeLength)
        return 0;
    return linuxinput::localDateTime(text, {0, 5, 8, 11, 14, 17}).value_or(0);
}

} // namespace

// "app": name, version, installation key (the key the log line ends with):
//     bash 4.4.18-2ubuntu1 bash:amd64
void CSWInfoManager::loadForUbuntu(std::vector<tagAPPLIDATASTRUCT>& out) {
    const boost::filesystem::path source(sourceDir);
    const std::map<std::string, std::string> dates = installationDates(source / "app_install");
    for (const std::string& line : linuxinput::readLines(source / "app")) {
        const std::vector<std::string> fields = packageFields(line);
        if (fields.size() < kPackageFields)
            continue;
        tagAPPLIDATASTRUCT application = package(fields);
        const auto date = dates.find(fields[2]);
        if (date != dates.end())
            application.installTime = localDateTime(date->second);
        out.push_back(application);
    }
}

// "app": name, version, installation time in seconds since 1970:
//     bash 4.2.46-34.el7 1500000000
void CSWInfoManager::loadForRestDists(std::vector<tagAPPLIDATASTRUCT>& out) {
    for (const std::string& line :
         linuxinput::readLines(boost::filesystem::path(sourceDir) / "app")) {
        const std::vector<std::string> fields = packageFields(line);
        if (fields.size() < kPackageFields)
            continue;
        tagAPPLIDATASTRUCT application = package(fields);
        errno = 0;
        const unsigned long long seconds = std::strtoull(fields[2].c_str(), nullptr, 10);
        if (errno != ERANGE)
            application.installTime = static_cast<std::time_t>(seconds); // 123abc gives 123
        out.push_back(application);
    }
}
