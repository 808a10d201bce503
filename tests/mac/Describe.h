#pragma once
// Record entries as one line of text each, so that a test can write the
// expected entries out and a failure shows every field.

#include <string>
#include <vector>

#include "inventory/KX_WMIStruct.h"

namespace mactest {

inline std::string describe(const tagWMICPUSTRUCT& e) {
    return e.name + " | " + std::to_string(e.clockMhz) + " MHz | " + std::to_string(e.cores) +
           " cores";
}
inline std::string describe(const tagMEMORYSLOT& e) {
    return e.name + " | " + std::to_string(e.sizeKb) + " KB";
}
inline std::string describe(const tagWMIDISKSTRUCT& e) {
    return e.name + " | " + std::to_string(e.sizeBytes) + " B | " +
           std::to_string(e.partitionCount) + " volumes";
}
inline std::string describe(const tagWMIPATSTRUCT& e) {
    return e.name + " | " + std::to_string(e.sizeBytes) + " B | " + std::to_string(e.freeBytes) +
           " free | type " + std::to_string(e.driveType);
}
inline std::string describe(const tagMONITORSTRUCT& e) {
    return e.name + " | " + std::to_string(e.vramKb) + " KB | " + std::to_string(e.width) + "x" +
           std::to_string(e.height) + " | " + std::to_string(e.colorDepth) + " bit";
}
inline std::string describe(const tagWMINICSTRUCT& e) {
    return std::to_string(e.adapterState) + " | " + e.description + " | " + e.macAddress + " | " +
           e.ipAddress + " | " + e.subnetMask + " | " + e.defaultGateway + " | " + e.dhcpServer +
           " | " + e.dnsServer1 + " | " + e.dnsServer2 + " | dhcp " +
           std::to_string(e.dhcpEnabled) + " | wireless " + std::to_string(e.wireless);
}
inline std::string describe(const tagAPPLIDATASTRUCT& e) {
    return std::to_string(e.installTime) + " | " + e.name + " | " + e.version;
}

template <typename T>
std::vector<std::string> describe(const std::vector<T>& entries) {
    std::vector<std::string> lines;
    for (const T& e : entries)
        lines.push_back(describe(e));
    return lines;
}

using Lines = std::vector<std::string>;

} // namespace mactest
