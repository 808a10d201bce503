#pragma once
// The hardware manager: picks the collectors for the platform ("hardware.xml"
// in the source folder means macOS) and writes the hardware data file.
// The collectors live in mac/ and linux/, one file per platform.

#include "CBaseInfoManager.h"

class CHWInfoManager : public CBaseInfoManager {
public:
    CHWInfoManager(const std::string& sourceDir, const std::string& destDir, tagWMISTRUCT& record);

    void buildHeader();

protected:
    void load() override;
    void encodeInfo(const boost::filesystem::path& file) override;
    uint32_t kxFileNumber() override;

    void loadForMac();
    void loadForLinux();

    // macOS collectors (mac/)
    void loadSysInfo_mac(tagWMISTRUCT& record);
    void loadMemInfo_mac(tagWMISTRUCT& record);
    void loadDiskInfo_mac(tagWMISTRUCT& record);
    void loadPartitionInfo_mac(tagWMISTRUCT& record);
    void loadVgaInfo_mac(tagWMISTRUCT& record);
    void loadNicInfo_mac(tagWMISTRUCT& record);

    // Linux collectors (linux/)
    void loadSysInfo(tagWMISTRUCT& record);
    void loadCpuInfo(tagWMISTRUCT& record);
    void loadMemInfo(tagWMISTRUCT& record);
    void loadDiskInfo(tagWMISTRUCT& record);
    void loadPartitionInfo(tagWMISTRUCT& record);
    void loadVgaInfo(tagWMISTRUCT& record);
    void loadNicInfo(tagWMISTRUCT& record);
    void loadOSInfo(tagWMIINFOSTRUCT& entry);
};
