#pragma once
// The hardware inventory record the collectors fill and the hardware data file
// is written from. Texts are UTF-8 here; they become Shift_JIS only when
// encoded. Field order is the order of the record types; the file order is
// the hardware manager's business.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct tagWMIINFOSTRUCT {
    std::string manufacturer;
    std::string model;
    std::string serialNumber;
    std::string osName;
    std::string osText4;
    std::string osText5;
    std::string osText6;
    std::string osText7;
    std::string osInstallDate;    // "%Y%m%d%H%M%S" (Linux only)
    std::string osFlag;           // written as "0" when exactly "0", else "1"
    std::string sourceFolderName; // leaf of the source folder unless it is "result"
    std::string domainName;       // host name after the first dot
    std::string architecture;
    std::string osVersion;
    std::string computerName; // host name before the first dot
    std::string uuid;
};

struct tagWMICPUSTRUCT { // one physical processor package
    std::string name;
    uint32_t clockMhz = 0;
    uint32_t cores = 0;
};

struct tagMEMORYSLOT { // one memory module
    std::string name;
    uint32_t sizeKb = 0;
};

struct tagWMIDISKSTRUCT { // one physical disk
    std::string name;
    int64_t sizeBytes = 0;
    uint32_t reserved = 0;
    uint32_t partitionCount = 0;
    std::string diskText1;
    std::string diskText2;
    std::string diskText3;
    int64_t diskValue = 0; // never written
};

struct tagWMIPATSTRUCT { // one mounted volume
    std::string name;    // mount point
    int64_t sizeBytes = 0;
    int64_t freeBytes = 0;
    uint32_t driveType = 0;
};

struct tagCDSTRUCT { // one optical drive
    std::string name;
    std::string deviceName;
};

struct tagMONITORSTRUCT { // one graphics adapter / display
    std::string name;
    uint32_t vramKb = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t colorDepth = 0;
};

struct tagWMINICSTRUCT { // one network adapter
    uint32_t adapterState = 0;
    std::string description;
    std::string macAddress;
    std::string ipAddress;
    std::string subnetMask;
    std::string defaultGateway;
    std::string dhcpServer;
    std::string dnsServer1;
    std::string dnsServer2;
    uint32_t dhcpEnabled = 0;
    uint32_t wireless = 0;
};

struct tagWMIPRTSTRUCT { // never filled
    std::string text1;
    std::string text2;
    std::string text3;
    std::string text4;
    int64_t stamp = 0; // never written
};

struct tagWMIACCOUNT { // never filled
    std::string name;
    uint32_t value = 0;
};

struct tagWMISHARE { // never filled, never written
    std::string name;
    std::string sharePath;
    std::vector<std::string> nameLists[4];
    std::vector<uint32_t> valueLists[4];
};

struct tagWMISTRUCT {
    std::vector<tagWMIINFOSTRUCT> systemInfo; // only the first entry is written
    std::vector<tagWMICPUSTRUCT> cpus;
    std::vector<tagMEMORYSLOT> memorySlots;
    std::vector<tagWMIDISKSTRUCT> disks;
    std::vector<tagWMIPATSTRUCT> partitions;
    std::vector<tagCDSTRUCT> cdDrives;
    std::vector<tagMONITORSTRUCT> monitors;
    std::vector<tagWMINICSTRUCT> nics;
    std::vector<tagWMIPRTSTRUCT> printers;
    std::vector<tagWMIACCOUNT> accounts;
    std::vector<tagWMISHARE> shares;
};

// The header that opens every data file.
struct tagHEADERSTRUCT {
    std::string magic;
    uint32_t formatVersion = 0;
    uint32_t reserved = 0;
    std::string computerName;
    uint32_t fileKind = 0;
    std::string agentVersion;
    uint32_t categoryCode = 0;
    std::time_t startTime = 0;
    std::time_t endTime = 0;
    std::string machineUuid;
    uint32_t extensionFlag = 0;
};

// One installed application of the software inventory.
struct tagAPPLIDATASTRUCT {
    std::time_t installTime = 0; // 0 when unknown
    std::string name;
    std::string reservedText1;
    std::string version;
    std::string reservedText2;
    int32_t reservedNumber = 0;
};
