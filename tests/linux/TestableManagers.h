#pragma once
// The managers with their Linux collectors callable, for the tests and fuzzers.

#include <string>

#include "inventory/CHWInfoManager.h"
#include "inventory/CSWInfoManager.h"

namespace linuxtest {

struct TestableHW : CHWInfoManager {
    TestableHW(const std::string& source, tagWMISTRUCT& record) : CHWInfoManager(source, source, record) {}
    using CHWInfoManager::loadCpuInfo;
    using CHWInfoManager::loadDiskInfo;
    using CHWInfoManager::loadMemInfo;
    using CHWInfoManager::loadNicInfo;
    using CHWInfoManager::loadOSInfo;
    using CHWInfoManager::loadPartitionInfo;
    using CHWInfoManager::loadSysInfo;
    using CHWInfoManager::loadVgaInfo;
};

struct TestableSW : CSWInfoManager {
    TestableSW(const std::string& source, tagWMISTRUCT& record) : CSWInfoManager(source, source, record) {}
    using CSWInfoManager::loadForRestDists;
    using CSWInfoManager::loadForUbuntu;
};

} // namespace linuxtest
