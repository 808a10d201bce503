#pragma once
// Hardware records the file tests write: a Mac with every list filled.

#include "inventory/KX_WMIStruct.h"

inline tagWMIINFOSTRUCT mac01() {
    tagWMIINFOSTRUCT s;
    s.manufacturer = "Apple Inc.";
    s.model = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"; // テスト
    s.serialNumber = "C02XYZ";
    s.osName = "macOS";
    s.osText4 = "t4";
    s.osText5 = "t5";
    s.osText6 = "t6";
    s.osText7 = "t7";
    s.osInstallDate = "20190304050607";
    s.osFlag = "0";
    s.sourceFolderName = "collected";
    s.domainName = "example.com";
    s.architecture = "x86_64";
    s.osVersion = "13.4";
    s.computerName = "mac01";
    s.uuid = "UUID-1";
    return s;
}

inline tagWMISTRUCT fullRecord() {
    tagWMISTRUCT r;
    r.systemInfo = {mac01(), tagWMIINFOSTRUCT{}}; // only the first is written
    r.cpus = {{"Intel Core i7", 2600, 6}, {"Second package", 1000, 2}};
    r.memorySlots = {{"DIMM0", 8388608}, {"DIMM1", 4194304}};
    tagWMIDISKSTRUCT disk;
    disk.name = "disk0";
    disk.sizeBytes = 500107862016LL;
    disk.reserved = 0;
    disk.partitionCount = 2;
    disk.diskText1 = "d1";
    disk.diskText2 = "d2";
    disk.diskText3 = "APPLE SSD AP0512";
    disk.diskValue = 99; // never written
    r.disks = {disk};
    r.partitions = {{"/", 499963174912LL, 123456789012LL, 3}, {"/Volumes/Data", 1000, 10, 3}};
    r.cdDrives = {{"DVD", "/dev/sr0"}};
    r.monitors = {{"Intel UHD Graphics 630", 1536 * 1024, 2560, 1440, 32}};
    tagWMINICSTRUCT en0{1,
                        "Ethernet",
                        "AA:BB:CC:DD:EE:FF",
                        "192.168.1.10",
                        "255.255.255.0",
                        "192.168.1.1",
                        "192.168.1.1",
                        "8.8.8.8",
                        "8.8.4.4",
                        1,
                        0};
    tagWMINICSTRUCT en1{1, "Wi-Fi", "11:22:33:44:55:66", "", "", "", "", "", "", 0, 1};
    r.nics = {en0, en1};
    r.printers = {{"p1", "p2", "p3", "p4", 77}};
    r.accounts = {{"admin", 500}};
    r.shares = {tagWMISHARE{"share", "/srv", {}, {}}}; // never written
    return r;
}
