#include "inventory/CHWInfoManager.h"

#include <boost/filesystem/operations.hpp>

#include "inventory/SystemIdentity.h"

namespace fs = boost::filesystem;

namespace {

// Fields that appeared with later revisions of the file body.
constexpr uint32_t kDiskDetailsSince = 10009;  // disk first word + stamp, printer stamp
constexpr uint32_t kClosingCountSince = 10011; // second closing count
constexpr uint32_t kWirelessSince = 10012;     // adapter wireless flag
constexpr uint32_t kPartitionMarker = 0xFFFFFFFF;

// The text before the first blank: all of it without a blank, nothing when it starts with one.
std::string firstWord(const std::string& text) { return text.substr(0, text.find(' ')); }

} // namespace

CHWInfoManager::CHWInfoManager(const std::string& sourceFolder, const std::string& destFolder,
                               tagWMISTRUCT& shared)
    : CBaseInfoManager(sourceFolder, destFolder, shared) {}

uint32_t CHWInfoManager::kxFileNumber() { return kFileKind; }

void CHWInfoManager::load() {
    header.startTime = std::time(nullptr);
    if (fs::exists(fs::path(sourceDir) / identity::kHardwareReport))
        loadForMac();
    else
        loadForLinux();
    header.endTime = std::time(nullptr);
}

void CHWInfoManager::loadForMac() {
    loadSysInfo_mac(record);
    loadMemInfo_mac(record);
    loadDiskInfo_mac(record);
    loadPartitionInfo_mac(record);
    loadVgaInfo_mac(record);
    loadNicInfo_mac(record);
}

void CHWInfoManager::loadForLinux() {
    loadSysInfo(record);
    loadCpuInfo(record);
    loadMemInfo(record);
    loadDiskInfo(record);
    loadPartitionInfo(record);
    loadVgaInfo(record);
    loadNicInfo(record);
}

void CHWInfoManager::buildHeader() { fillHeader(kFormatVersion, kFileKind, kCategoryCode); }

void CHWInfoManager::encodeInfo(const fs::path& file) {
    FieldWriter out(file);
    buildHeader();
    writeFile(out);
}

void CHWInfoManager::writeFile(FieldWriter& out) {
    const tagWMIINFOSTRUCT& info = record.systemInfo.at(0);
    const uint32_t version = header.formatVersion;
    out.header(header);
    writeSystem(out, info);
    writeCpus(out, record.cpus);
    writeMemory(out, record.memorySlots);
    writeDisks(out, record.disks, version);
    writePartitions(out, record.partitions);
    writeCdDrives(out, record.cdDrives);
    writeMonitors(out, record.monitors);
    writeNics(out, record.nics, version);
    writePrinters(out, record.printers, version);
    writeOperatingSystem(out, info);
    writeAccounts(out, record.accounts);
    writeClosingCounts(out, version);
    out.trailer();
    out.close();
}

// ---------------------------------------------------------------- sections

void CHWInfoManager::writeSystem(FieldWriter& out, const tagWMIINFOSTRUCT& info) {
    out.text(info.computerName);
    out.text(info.manufacturer);
    out.text(info.model);
    out.text(info.serialNumber);
    out.text(info.uuid);
}

void CHWInfoManager::writeCpus(FieldWriter& out, const std::vector<tagWMICPUSTRUCT>& cpus) {
    out.count(cpus.size());
    for (const tagWMICPUSTRUCT& cpu : cpus) {
        out.text(cpu.name);
        out.dword(cpu.clockMhz);
        out.dword(cpu.cores);
    }
}

void CHWInfoManager::writeMemory(FieldWriter& out, const std::vector<tagMEMORYSLOT>& slots) {
    out.count(slots.size());
    for (const tagMEMORYSLOT& slot : slots) {
        out.text(slot.name);
        out.dword(slot.sizeKb);
    }
}

void CHWInfoManager::writeDisks(FieldWriter& out, const std::vector<tagWMIDISKSTRUCT>& disks,
                                uint32_t version) {
    out.count(disks.size());
    for (const tagWMIDISKSTRUCT& disk : disks) {
        out.text(disk.name);
        out.int64(disk.sizeBytes);
        out.dword(disk.reserved);
        out.dword(disk.partitionCount);
        out.text(disk.diskText1);
        out.text(disk.diskText2);
        if (version >= kDiskDetailsSince) {
            out.text(firstWord(disk.diskText3));
            out.dword(0); // time stamp
        }
    }
}

void CHWInfoManager::writePartitions(FieldWriter& out,
                                     const std::vector<tagWMIPATSTRUCT>& partitions) {
    out.count(partitions.size());
    for (const tagWMIPATSTRUCT& partition : partitions) {
        out.text(partition.name);
        out.int64(partition.sizeBytes);
        out.int64(partition.freeBytes);
        out.dword(partition.driveType);
        out.dword(kPartitionMarker);
    }
}

void CHWInfoManager::writeCdDrives(FieldWriter& out, const std::vector<tagCDSTRUCT>& drives) {
    out.count(drives.size());
    for (const tagCDSTRUCT& drive : drives) {
        out.text(drive.name);
        out.text(drive.deviceName);
    }
}

void CHWInfoManager::writeMonitors(FieldWriter& out,
                                   const std::vector<tagMONITORSTRUCT>& monitors) {
    out.count(monitors.size());
    for (const tagMONITORSTRUCT& monitor : monitors) {
        out.text(monitor.name);
        out.dword(monitor.vramKb);
        out.dword(monitor.width);
        out.dword(monitor.height);
        out.dword(monitor.colorDepth);
    }
}

void CHWInfoManager::writeNics(FieldWriter& out, const std::vector<tagWMINICSTRUCT>& nics,
                               uint32_t version) {
    out.count(nics.size());
    for (const tagWMINICSTRUCT& nic : nics) {
        out.dword(nic.adapterState);
        out.text(nic.description);
        out.text(nic.macAddress);
        out.text(nic.ipAddress);
        out.text(nic.subnetMask);
        out.text(nic.defaultGateway);
        out.text(nic.dhcpServer);
        out.text(nic.dnsServer1);
        out.text(nic.dnsServer2);
        out.dword(nic.dhcpEnabled);
        if (version >= kWirelessSince)
            out.dword(nic.wireless);
    }
}

void CHWInfoManager::writePrinters(FieldWriter& out, const std::vector<tagWMIPRTSTRUCT>& printers,
                                   uint32_t version) {
    out.count(printers.size());
    for (const tagWMIPRTSTRUCT& printer : printers) {
        out.text(printer.text1);
        out.text(printer.text2);
        out.text(printer.text3);
        out.text(printer.text4);
        if (version >= kDiskDetailsSince)
            out.dword(0); // time stamp
    }
}

void CHWInfoManager::writeOperatingSystem(FieldWriter& out, const tagWMIINFOSTRUCT& info) {
    out.text(info.osName);
    out.text(info.osText4);
    out.text(info.osText5);
    out.text(info.osText6);
    out.text(info.osText7);
    out.text(info.osInstallDate);
    out.text(info.osFlag == "0" ? "0" : "1");
    out.text(info.sourceFolderName);
    out.text(info.domainName);
    out.text(info.architecture);
    out.text(info.osVersion);
    out.text("");
    out.text("");
    out.dword(0); // time stamp
}

void CHWInfoManager::writeAccounts(FieldWriter& out, const std::vector<tagWMIACCOUNT>& accounts) {
    out.count(accounts.size());
    for (const tagWMIACCOUNT& account : accounts) {
        out.text(account.name);
        out.dword(account.value);
    }
}

void CHWInfoManager::writeClosingCounts(FieldWriter& out, uint32_t version) {
    out.dword(0);
    if (version >= kClosingCountSince)
        out.dword(0);
}
