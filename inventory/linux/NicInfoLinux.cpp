// Linux network adapters: per interface N, "nic_N" (device properties),
// "ip_N" (address configuration) and "net_N" (gateway, name servers, DHCP,
// wireless), interfaces in name order.
#include "inventory/CHWInfoManager.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/path.hpp>

#include "inventory/linux/LinuxInput.h"
#include "common/utils.h"

namespace {

using boost::algorithm::contains;
using boost::algorithm::starts_with;
using linuxinput::searchLine;

// Entries whose names begin with "nic", from the fifth character on
// ("nic_eth0" gives eth0); a name with nothing there names no interface.
std::vector<std::string> interfaceNames(const boost::filesystem::path& source) {
    constexpr size_t kPrefix = 4; // "nic_"
    std::vector<std::string> names;
    boost::system::error_code error;
    for (boost::filesystem::directory_iterator entry(source, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (starts_with(name, "nic") && name.size() > kPrefix)
            names.push_back(name.substr(kPrefix));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// "nic_N", udev properties:
//     ID_VENDOR_FROM_DATABASE=Intel Corporation
//     ID_MODEL_FROM_DATABASE=Ethernet Connection I219-LM
std::string describe(const boost::filesystem::path& file, const std::string& interface) {
    const std::string vendorKey = "ID_VENDOR_FROM_DATABASE=";
    const std::string modelKey = "ID_MODEL_FROM_DATABASE=";
    std::string vendor, model;
    for (const std::string& line : linuxinput::readLines(file)) {
        if (starts_with(line, vendorKey))
            vendor = line.substr(vendorKey.size());
        if (starts_with(line, modelKey))
            model = line.substr(modelKey.size());
    }
    return wmi::trim(wmi::format("%s %s (%s)", vendor.c_str(), model.c_str(), interface.c_str()));
}

// The dotted mask of a prefix length; the shift is taken modulo 32, so 0 and
// 32 both give 255.255.255.255.
std::string prefixMask(int prefixLength) {
    const uint32_t shift = (32u - static_cast<uint32_t>(prefixLength)) % 32u;
    const uint32_t mask = 0xFFFFFFFFu << shift;
    return wmi::format("%lu.%lu.%lu.%lu", static_cast<unsigned long>(mask >> 24 & 0xFF),
                       static_cast<unsigned long>(mask >> 16 & 0xFF),
                       static_cast<unsigned long>(mask >> 8 & 0xFF),
                       static_cast<unsigned long>(mask & 0xFF));
}

// "ip_N", ifconfig or "ip addr show" text; each trimmed line is taken by the
// first rule that fits, and the last line of each kind wins:
//     eth0      Link encap:Ethernet  HWaddr 00:16:CB:A6:D4:3A
//     ether 00:21:cc:4b:29:7d txqueuelen 1000 (Ethernet)
//     link/ether 00:50:56:9a:61:46 brd ff:ff:ff:ff:ff:ff
//     inet addr:192.168.1.10 Bcast:192.168.1.255 Mask:255.255.255.0
//     inet 192.168.1.10 netmask 255.255.255.0 broadcast 192.168.1.255
//     inet 192.168.1.10/24 brd 192.168.1.255 scope global eth0
void readAddresses(const boost::filesystem::path& file, tagWMINICSTRUCT& nic) {
    static const std::regex kEther("ether (\\S+) ");
    static const std::regex kInetAddr("inet addr:(\\S+) Bcast:(\\S+) Mask:(\\S+)");
    static const std::regex kInetNetmask("inet (\\S+) netmask (\\S+) ");
    static const std::regex kInetPrefix("inet (\\S+)/(\\S+) ");
    constexpr size_t kHWaddrAndBlank = 7;

    for (const std::string& rawLine : linuxinput::readLines(file)) {
        const std::string line = wmi::trim(rawLine);
        std::smatch match;
        if (const size_t at = line.find("HWaddr"); at != std::string::npos) {
            nic.macAddress = line.size() > at + kHWaddrAndBlank
                                 ? wmi::trim(line.substr(at + kHWaddrAndBlank))
                                 : std::string();
        } else if (contains(line, "ether")) {
            nic.macAddress = searchLine(line, kEther, match) ? match.str(1) : std::string();
        } else if (contains(line, "inet addr")) {
            const bool found = searchLine(line, kInetAddr, match);
            nic.ipAddress = found ? match.str(1) : std::string();
            nic.subnetMask = found ? match.str(3) : std::string();
        } else if (contains(line, "inet") && !contains(line, "inet6")) {
            if (searchLine(line, kInetNetmask, match)) {
                nic.ipAddress = match.str(1);
                nic.subnetMask = match.str(2);
            }
            if (searchLine(line, kInetPrefix, match)) {
                nic.ipAddress = match.str(1);
                nic.subnetMask = prefixMask(std::atoi(match.str(2).c_str()));
            }
        }
    }
}

// "net_N", the script's summary of how the interface is configured, NAME=value
// lines; the first gateway and DHCP server and the first two distinct name
// servers count, and DHCP and WIRELESS are 1 or 0:
//     GATEWAY=192.0.2.1
//     DNS=192.0.2.53
//     DNS=2001:db8::53
//     DHCP=1
//     DHCP_SERVER=192.0.2.1
//     WIRELESS=0
void readConfiguration(const boost::filesystem::path& file, tagWMINICSTRUCT& nic) {
    for (const std::string& line : linuxinput::readLines(file)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = wmi::trim(line.substr(equals + 1));
        if (value.empty())
            continue;
        if (key == "GATEWAY" && nic.defaultGateway.empty()) {
            nic.defaultGateway = value;
        } else if (key == "DNS") {
            if (nic.dnsServer1.empty())
                nic.dnsServer1 = value;
            else if (nic.dnsServer2.empty() && value != nic.dnsServer1)
                nic.dnsServer2 = value;
        } else if (key == "DHCP") {
            nic.dhcpEnabled = value == "1" ? 1 : 0;
        } else if (key == "DHCP_SERVER" && nic.dhcpServer.empty()) {
            nic.dhcpServer = value;
        } else if (key == "WIRELESS") {
            nic.wireless = value == "1" ? 1 : 0;
        }
    }
}

} // namespace

void CHWInfoManager::loadNicInfo(tagWMISTRUCT& target) {
    const boost::filesystem::path source(sourceDir);
    for (const std::string& interface : interfaceNames(source)) {
        tagWMINICSTRUCT nic;
        nic.description = describe(source / ("nic_" + interface), interface);
        readAddresses(source / ("ip_" + interface), nic);
        readConfiguration(source / ("net_" + interface), nic);
        nic.adapterState = 1;
        target.nics.push_back(nic);
    }
}
