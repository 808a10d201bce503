// Runs one Linux collector over a fuzzed "result" folder. The first byte picks
// the collector; the rest is its input file, or its two input files split at
// the first NUL byte.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "tests/linux/FuzzFolder.h"
#include "tests/support/Files.h"
#include "tests/support/OpenManagers.h"

namespace {

namespace fs = boost::filesystem;
using kxtest::OpenHWManager;
using kxtest::OpenSWManager;

struct Collector {
    const char* first;
    const char* second; // nullptr: one input file
    void (*run)(const std::string& source);
};

template <void (CHWInfoManager::*Loader)(tagWMISTRUCT&)>
void hardware(const std::string& source) {
    tagWMISTRUCT record;
    OpenHWManager manager(source, record);
    (manager.*Loader)(record);
}

template <void (CSWInfoManager::*Reader)(std::vector<tagAPPLIDATASTRUCT>&)>
void software(const std::string& source) {
    tagWMISTRUCT record;
    OpenSWManager manager(source, record);
    std::vector<tagAPPLIDATASTRUCT> out;
    (manager.*Reader)(out);
}

const Collector kCollectors[] = {
    {"cpu", nullptr, hardware<&OpenHWManager::loadCpuInfo>},
    {"mem", nullptr, hardware<&OpenHWManager::loadMemInfo>},
    {"physical_disk", nullptr, hardware<&OpenHWManager::loadDiskInfo>},
    {"logical_disk", nullptr, hardware<&OpenHWManager::loadPartitionInfo>},
    {"video", nullptr, hardware<&OpenHWManager::loadVgaInfo>},
    {"nic_eth0", "ip_eth0", hardware<&OpenHWManager::loadNicInfo>},
    {"dmidecode", "grep_sys_devices", hardware<&OpenHWManager::loadSysInfo>},
    {"hostname", "domainname", hardware<&OpenHWManager::loadSysInfo>},
    {"os_install_1", "os_install_2", hardware<&OpenHWManager::loadSysInfo>},
    {"app", nullptr, software<&OpenSWManager::loadForRestDists>},
    {"app_install", "app", software<&OpenSWManager::loadForUbuntu>},
    {"net_eth0", "nic_eth0", hardware<&OpenHWManager::loadNicInfo>},
    {"machine_id", "devicetree", hardware<&OpenHWManager::loadSysInfo>},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const linuxtest::FuzzFolder folder;
    const fs::path source = folder.root / "result";
    if (size == 0)
        return 0;
    const Collector& collector = kCollectors[data[0] % std::size(kCollectors)];
    const std::string payload(reinterpret_cast<const char*>(data + 1), size - 1);

    fs::remove_all(source);
    fs::create_directories(source);
    if (collector.second == nullptr) {
        kxtest::writeFile(source / collector.first, payload);
    } else {
        const size_t split = payload.find('\0');
        kxtest::writeFile(source / collector.first, payload.substr(0, split));
        kxtest::writeFile(source / collector.second,
                          split == std::string::npos ? "" : payload.substr(split + 1));
    }
    collector.run(source.string());
    return 0;
}
