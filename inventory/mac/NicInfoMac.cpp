// The network services of a Mac.
#include <boost/filesystem/path.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/mac/ProfilerReport.h"
#include "common/utils.h"

namespace {

constexpr const char* kNetworkReport = "nics";

// IPv4: ConfigMethod "DHCP", InterfaceName "en0", Router "192.168.1.1",
//       Addresses ["192.168.1.20"], SubnetMasks "255.255.255.0" (a text; an array is ignored)
void readIPv4(const Plist::dictionary_type& ipv4, const std::string& service,
              tagWMINICSTRUCT& nic) {
    const std::string* method = macos::valueOf<std::string>(ipv4, "ConfigMethod");
    if (method != nullptr && *method == "DHCP")
        nic.dhcpEnabled = 1;
    const std::string* interface = macos::valueOf<std::string>(ipv4, "InterfaceName");
    nic.description = interface != nullptr && !interface->empty()
                          ? wmi::format("%s (%s)", service.c_str(), interface->c_str())
                          : service;
    macos::readText(ipv4, "Router", nic.defaultGateway);
    if (const Plist::array_type* addresses = macos::valueOf<Plist::array_type>(ipv4, "Addresses"))
        if (!addresses->empty())
            if (const std::string* address = macos::as<std::string>(addresses->front()))
                nic.ipAddress = *address;
    macos::readText(ipv4, "SubnetMasks", nic.subnetMask);
}

// dhcp: dhcp_server_identifier "192.168.1.1", dhcp_subnet_mask "255.255.255.0"
void readDhcp(const Plist::dictionary_type& dhcp, tagWMINICSTRUCT& nic) {
    macos::readText(dhcp, "dhcp_server_identifier", nic.dhcpServer);
    macos::readText(dhcp, "dhcp_subnet_mask", nic.subnetMask);
}

// DNS: ServerAddresses ["192.168.1.1", "8.8.8.8"]
void readDns(const Plist::dictionary_type& dns, tagWMINICSTRUCT& nic) {
    const Plist::array_type* servers = macos::valueOf<Plist::array_type>(dns, "ServerAddresses");
    if (servers == nullptr || servers->empty())
        return;
    if (const std::string* first = macos::as<std::string>((*servers)[0]))
        nic.dnsServer1 = *first;
    if (servers->size() > 1)
        if (const std::string* second = macos::as<std::string>((*servers)[1]))
            nic.dnsServer2 = *second;
}

} // namespace

// "nics", system_profiler SPNetworkDataType; each item is a network service:
//   _name "Wi-Fi", type "AirPort", IPv4 {…}, dhcp {…}, Ethernet {"MAC Address"}, DNS {…}
// A service is recorded only with an IPv4 configuration (which gives its description).
void CHWInfoManager::loadNicInfo_mac(tagWMISTRUCT& target) {
    const macos::ProfilerReport report(boost::filesystem::path(sourceDir) / kNetworkReport);
    if (report.items() == nullptr)
        return;
    for (const boost::any& value : *report.items()) {
        const Plist::dictionary_type* service = macos::as<Plist::dictionary_type>(value);
        if (service == nullptr)
            continue;
        tagWMINICSTRUCT nic;
        nic.adapterState = 1;
        std::string name;
        macos::readText(*service, "_name", name);
        if (const Plist::dictionary_type* ipv4 =
                macos::valueOf<Plist::dictionary_type>(*service, "IPv4"))
            readIPv4(*ipv4, name, nic);
        if (const Plist::dictionary_type* dhcp =
                macos::valueOf<Plist::dictionary_type>(*service, "dhcp"))
            readDhcp(*dhcp, nic);
        if (const Plist::dictionary_type* ethernet =
                macos::valueOf<Plist::dictionary_type>(*service, "Ethernet"))
            macos::readText(*ethernet, "MAC Address", nic.macAddress);
        if (const Plist::dictionary_type* dns =
                macos::valueOf<Plist::dictionary_type>(*service, "DNS"))
            readDns(*dns, nic);
        const std::string* type = macos::valueOf<std::string>(*service, "type");
        if (type != nullptr && *type == "AirPort")
            nic.wireless = 1;
        if (!nic.description.empty())
            target.nics.push_back(nic);
    }
}
