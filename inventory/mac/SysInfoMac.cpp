// The machine, its processors, host name and system version on a Mac.
#include <algorithm>
#include <map>
#include <utility>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/path.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/SystemIdentity.h"
#include "inventory/mac/ProfilerReport.h"
#include "common/utils.h"

namespace fs = boost::filesystem;

namespace {

constexpr const char* kHostName = "hostname";
constexpr const char* kSystemVersion = "os";
constexpr const char* kManufacturer = "Apple Inc.";
constexpr int64_t kMaxPackages = 256;

// Apple Silicon reports its cores as a text: "proc 8:6:2" (total:performance:efficiency).
const std::string kCoreCountText = "proc ";

// number_processors: 4 (Intel) or "proc 8:6:2" (Apple Silicon, the leading total).
int64_t coreCount(const Plist::dictionary_type& overview) {
    if (const long long* number = macos::valueOf<long long>(overview, "number_processors"))
        return *number;
    const std::string* text = macos::valueOf<std::string>(overview, "number_processors");
    if (text != nullptr && boost::algorithm::starts_with(*text, kCoreCountText))
        return macos::leadingNumber(text->substr(kCoreCountText.size()));
    return 1;
}

// current_processor_speed: "2.6 GHz" → 2000 (the integer part), "800 MHz" → 800, else 0.
uint32_t clockMhz(const Plist::dictionary_type& overview) {
    const std::string* speed = macos::valueOf<std::string>(overview, "current_processor_speed");
    if (speed == nullptr)
        return 0;
    const uint64_t number = static_cast<uint64_t>(macos::leadingNumber(*speed));
    if (speed->find("GHz") != std::string::npos)
        return static_cast<uint32_t>(number * 1000);
    if (speed->find("MHz") != std::string::npos)
        return static_cast<uint32_t>(number);
    return 0;
}

// cpu_type "Intel Core i7"; Apple Silicon names its chip instead: chip_type "Apple M1 Pro".
std::string processorName(const Plist::dictionary_type& overview) {
    std::string name;
    if (overview.count("cpu_type") != 0)
        macos::readText(overview, "cpu_type", name);
    else
        macos::readText(overview, "chip_type", name);
    return name;
}

// "mac01.example.com": "mac01" and "example.com".
void readHostName(const fs::path& file, tagWMIINFOSTRUCT& info) {
    identity::HostName name = identity::splitHostName(wmi::singleLine(file));
    info.computerName = std::move(name.computerName);
    info.domainName = std::move(name.domainName);
}

// sw_vers:
//   ProductName:    macOS
//   ProductVersion: 13.3.1
//   ProductVersionExtra: (a)     (a security response; not the version)
//   BuildVersion:   22E772610a
void readSystemVersion(const fs::path& file, tagWMIINFOSTRUCT& info) {
    const std::map<std::string, std::string> lines = wmi::parseMap(file);
    const auto name = lines.find("ProductName");
    if (name != lines.end())
        info.osName = name->second;
    const auto version = lines.find("ProductVersion");
    if (version != lines.end())
        info.osVersion = version->second;
}

} // namespace

// "hardware.xml", system_profiler SPHardwareDataType; the first item is the overview:
//   machine_name "MacBook Pro", serial_number "C02MQ15KFD57",
//   platform_UUID "24A95B44-2444-59CF-9D9B-A42CF82590AE",
//   number_processors 4, packages 1, cpu_type "Intel Core i7", current_processor_speed "2.3 GHz"
// Apple Silicon: number_processors "proc 8:6:2", chip_type "Apple M1 Pro", no packages or speed.
// Then "hostname" (one line) and "os" (sw_vers). The machine is recorded only
// with a hardware UUID; its processors in any case.
void CHWInfoManager::loadSysInfo_mac(tagWMISTRUCT& target) {
    const fs::path source(sourceDir);
    const macos::ProfilerReport report(source / identity::kHardwareReport);
    if (report.items() == nullptr || report.items()->empty())
        return;
    const Plist::dictionary_type* overview =
        macos::as<Plist::dictionary_type>(report.items()->front());
    if (overview == nullptr)
        return;

    tagWMIINFOSTRUCT info;
    info.manufacturer = kManufacturer;
    macos::readText(*overview, "machine_name", info.model);
    macos::readText(*overview, "serial_number", info.serialNumber);
    macos::readText(*overview, "platform_UUID", info.uuid);
    info.sourceFolderName = identity::sourceFolderName(sourceDir);

    const long long* packagesValue = macos::valueOf<long long>(*overview, "packages");
    const int64_t packages = packagesValue != nullptr ? *packagesValue : 1;
    if (packages > 0) {
        tagWMICPUSTRUCT cpu;
        cpu.name = processorName(*overview);
        cpu.clockMhz = clockMhz(*overview);
        cpu.cores = static_cast<uint32_t>(coreCount(*overview) / packages);
        // A damaged report must not make the agent append entries without
        // end: no Mac has more than a handful of packages.
        for (int64_t i = 0; i < std::min<int64_t>(packages, kMaxPackages); ++i)
            target.cpus.push_back(cpu);
    }

    readHostName(source / kHostName, info);
    readSystemVersion(source / kSystemVersion, info);

    if (!info.uuid.empty())
        target.systemInfo.push_back(info);
}
