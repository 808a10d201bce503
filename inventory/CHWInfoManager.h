#pragma once
// The hardware manager: picks the collectors for the platform ("hardware.xml"
// in the source folder means macOS) and writes the hardware data file.
// The collectors live in mac/ and linux/, one file per platform.

#include "inventory/CBaseInfoManager.h"

class CHWInfoManager : public CBaseInfoManager {
public:
    CHWInfoManager(const std::string& sourceFolder, const std::string& destFolder,
                   tagWMISTRUCT& shared);

    // The hardware header values; throws std::out_of_range without a systemInfo entry.
    void buildHeader();

    static constexpr uint32_t kFormatVersion = 10012;
    static constexpr uint32_t kFileKind = 12;
    static constexpr uint32_t kCategoryCode = 5;

protected:
    void load() override;
    void encodeInfo(const boost::filesystem::path& file) override;
    uint32_t kxFileNumber() override;

    // Writes `header` as it stands, sections A to L and the trailer, then
    // closes `out`. The optional fields follow `header.formatVersion`.
    void writeFile(FieldWriter& out);

    void loadForMac();
    void loadForLinux();

    // macOS collectors (mac/)
    void loadSysInfo_mac(tagWMISTRUCT& target);
    void loadMemInfo_mac(tagWMISTRUCT& target);
    void loadDiskInfo_mac(tagWMISTRUCT& target);
    void loadPartitionInfo_mac(tagWMISTRUCT& target);
    void loadVgaInfo_mac(tagWMISTRUCT& target);
    void loadNicInfo_mac(tagWMISTRUCT& target);

    // Linux collectors (linux/)
    void loadSysInfo(tagWMISTRUCT& target);
    void loadCpuInfo(tagWMISTRUCT& target);
    void loadMemInfo(tagWMISTRUCT& target);
    void loadDiskInfo(tagWMISTRUCT& target);
    void loadPartitionInfo(tagWMISTRUCT& target);
    void loadVgaInfo(tagWMISTRUCT& target);
    void loadNicInfo(tagWMISTRUCT& target);
    void loadOSInfo(tagWMIINFOSTRUCT& entry);

private:
    // One writer per section of the file, in file order.
    static void writeSystem(FieldWriter& out, const tagWMIINFOSTRUCT& info);            // A
    static void writeCpus(FieldWriter& out, const std::vector<tagWMICPUSTRUCT>& cpus);  // B
    static void writeMemory(FieldWriter& out, const std::vector<tagMEMORYSLOT>& slots); // C
    static void writeDisks(FieldWriter& out, const std::vector<tagWMIDISKSTRUCT>& disks,
                           uint32_t version); // D
    static void writePartitions(FieldWriter& out,
                                const std::vector<tagWMIPATSTRUCT>& partitions);                // E
    static void writeCdDrives(FieldWriter& out, const std::vector<tagCDSTRUCT>& drives);        // F
    static void writeMonitors(FieldWriter& out, const std::vector<tagMONITORSTRUCT>& monitors); // G
    static void writeNics(FieldWriter& out, const std::vector<tagWMINICSTRUCT>& nics,
                          uint32_t version); // H
    static void writePrinters(FieldWriter& out, const std::vector<tagWMIPRTSTRUCT>& printers,
                              uint32_t version);                                             // I
    static void writeOperatingSystem(FieldWriter& out, const tagWMIINFOSTRUCT& info);        // J
    static void writeAccounts(FieldWriter& out, const std::vector<tagWMIACCOUNT>& accounts); // K
    static void writeClosingCounts(FieldWriter& out, uint32_t version);                      // L
};
