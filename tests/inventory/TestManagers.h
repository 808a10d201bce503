#pragma once
// The managers with their protected steps opened up for the tests; what the
// managers do is unchanged.

#include <boost/filesystem/path.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/CSWInfoManager.h"

class TestHWManager : public CHWInfoManager {
public:
    using CHWInfoManager::CHWInfoManager;
    using CHWInfoManager::encodeInfo;
    using CHWInfoManager::kxFileNumber;
    using CHWInfoManager::load;

    tagHEADERSTRUCT& Header() { return header; }

    // The hardware file as `encodeInfo` writes it, but with another formatVersion.
    void encodeWithVersion(const boost::filesystem::path& file, uint32_t version) {
        FieldWriter out(file);
        buildHeader();
        header.formatVersion = version;
        writeFile(out);
    }
};

class TestSWManager : public CSWInfoManager {
public:
    using CSWInfoManager::CSWInfoManager;
    using CSWInfoManager::encodeInfo;
    using CSWInfoManager::kxFileNumber;
    using CSWInfoManager::load;

    tagHEADERSTRUCT& Header() { return header; }
    std::vector<tagAPPLIDATASTRUCT>& List() { return applications; }
};
