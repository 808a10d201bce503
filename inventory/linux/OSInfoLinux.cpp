// Linux operating system: "os" (the release text), "os_install_1" and
// "os_install_2" (two indications of the installation time).
#include "inventory/CHWInfoManager.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <regex>
#include <string>

#include <boost/filesystem/path.hpp>

#include "inventory/CLinuxVersionParser.h"
#include "inventory/linux/LinuxInput.h"
#include "common/LocalTime.h"
#include "common/utils.h"

namespace {

using Instant = std::optional<int64_t>;

// "os_install_1": seconds since 1970, e.g. 1546300800. Nothing when the line is
// not all digits or does not fit in 64 bits.
Instant secondsLine(const std::string& line) {
    static const std::regex kDigits("^\\d+$");
    std::smatch match;
    if (!linuxinput::searchLine(line, kDigits, match))
        return std::nullopt;
    errno = 0;
    const unsigned long long seconds = std::strtoull(line.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return std::nullopt;
    return static_cast<int64_t>(seconds);
}

// "os_install_2": local date and time as YYYYMMDDhhmmss, e.g. 20180615123000.
// Nothing unless 14 digits, or when the local-time conversion fails.
Instant localDateLine(const std::string& line) {
    static const std::regex kFourteenDigits("^\\d{14}$");
    std::smatch match;
    if (!linuxinput::searchLine(line, kFourteenDigits, match))
        return std::nullopt;
    const auto seconds = linuxinput::localDateTime(line, {0, 4, 6, 8, 10, 12});
    if (!seconds)
        return std::nullopt;
    return static_cast<int64_t>(*seconds);
}

// "%Y%m%d%H%M%S" in local time; empty when the time has no local calendar form
// or its year has ten digits or more (the stamp is at most 19 characters).
std::string localStamp(int64_t seconds) {
    constexpr size_t kLongestStamp = 19;
    std::string stamp = LocalTime::Format(static_cast<std::time_t>(seconds), "%Y%m%d%H%M%S");
    return stamp.size() <= kLongestStamp ? stamp : std::string();
}

} // namespace

void CHWInfoManager::loadOSInfo(tagWMIINFOSTRUCT& entry) {
    const boost::filesystem::path source(sourceDir);

    CLinuxVersionParser parser;
    parser.parse(source / "os");
    entry.osName = parser.distribution;
    entry.osVersion = parser.version;

    // The earlier of the two indications; the epoch without either.
    const Instant counted = secondsLine(wmi::singleLine(source / "os_install_1"));
    const Instant dated = localDateLine(wmi::singleLine(source / "os_install_2"));
    int64_t installed = 0;
    if (counted && dated)
        installed = std::min(*counted, *dated);
    else if (counted)
        installed = *counted;
    else if (dated)
        installed = *dated;
    entry.osInstallDate = localStamp(installed);
}
