#pragma once
// The inventory managers with their protected steps and collectors callable,
// for the tests and fuzzers; what the managers do is unchanged.

#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/CSWInfoManager.h"

namespace kxtest {

class OpenHWManager : public CHWInfoManager {
public:
    using CHWInfoManager::CHWInfoManager;
    // Collectors alone: the source folder also receives the data file.
    OpenHWManager(const std::string& source, tagWMISTRUCT& shared)
        : CHWInfoManager(source, source, shared) {}

    using CHWInfoManager::encodeInfo;
    using CHWInfoManager::kxFileNumber;
    using CHWInfoManager::load;

    // macOS collectors
    using CHWInfoManager::loadDiskInfo_mac;
    using CHWInfoManager::loadMemInfo_mac;
    using CHWInfoManager::loadNicInfo_mac;
    using CHWInfoManager::loadPartitionInfo_mac;
    using CHWInfoManager::loadSysInfo_mac;
    using CHWInfoManager::loadVgaInfo_mac;

    // Linux collectors
    using CHWInfoManager::loadCpuInfo;
    using CHWInfoManager::loadDiskInfo;
    using CHWInfoManager::loadMemInfo;
    using CHWInfoManager::loadNicInfo;
    using CHWInfoManager::loadOSInfo;
    using CHWInfoManager::loadPartitionInfo;
    using CHWInfoManager::loadSysInfo;
    using CHWInfoManager::loadVgaInfo;

    tagHEADERSTRUCT& Header() { return header; }

    // The hardware file as `encodeInfo` writes it, but with another formatVersion.
    void encodeWithVersion(const boost::filesystem::path& file, uint32_t version) {
        FieldWriter out(file);
        buildHeader();
        header.formatVersion = version;
        writeFile(out);
    }
};

class OpenSWManager : public CSWInfoManager {
public:
    using CSWInfoManager::CSWInfoManager;
    // Collectors alone: the source folder also receives the data file.
    OpenSWManager(const std::string& source, tagWMISTRUCT& shared)
        : CSWInfoManager(source, source, shared) {}

    using CSWInfoManager::encodeInfo;
    using CSWInfoManager::kxFileNumber;
    using CSWInfoManager::load;

    // macOS
    using CSWInfoManager::AdobeDCIsPro;
    using CSWInfoManager::loadForMac;

    // Linux
    using CSWInfoManager::loadForRestDists;
    using CSWInfoManager::loadForUbuntu;

    tagHEADERSTRUCT& Header() { return header; }
    std::vector<tagAPPLIDATASTRUCT>& List() { return applications; }
};

} // namespace kxtest
