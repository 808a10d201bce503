// Network adapters: one per "nic_" entry in name order, described by its
// udev vendor and model, addressed by its "ip_" text, configured by its
// "net_" lines.
#include <gtest/gtest.h>

#include <vector>

#include "tests/linux/LinuxTestSupport.h"

namespace {

using namespace linuxtest;

tagWMINICSTRUCT onlyAdapter(const std::string& ipText, const std::string& nicText = "") {
    const tagWMISTRUCT record =
        collect({{"nic_eth0", nicText}, {"ip_eth0", ipText}}, &OpenHWManager::loadNicInfo);
    EXPECT_EQ(record.nics.size(), 1u);
    return record.nics.empty() ? tagWMINICSTRUCT() : record.nics.front();
}

TEST(LinuxNetwork, DescriptionFromVendorAndModel) {
    EXPECT_EQ(onlyAdapter("", "ID_BUS=pci\nID_VENDOR_FROM_DATABASE=Intel Corporation\n"
                              "ID_MODEL_FROM_DATABASE=Ethernet Connection I219-LM\n")
                  .description,
              "Intel Corporation Ethernet Connection I219-LM (eth0)");
    EXPECT_EQ(
        onlyAdapter("",
                    "ID_MODEL_FROM_DATABASE=virtio\nID_MODEL_FROM_DATABASE=Virtio network device\n")
            .description,
        "Virtio network device (eth0)")
        << "the later line wins";
    EXPECT_EQ(onlyAdapter("", "").description, "(eth0)");
}

TEST(LinuxNetwork, EveryAdapterIsUpAndOnlyAddressFieldsFilled) {
    const tagWMINICSTRUCT nic =
        onlyAdapter("inet 192.168.1.10/24 brd 192.168.1.255 scope global eth0\n");
    EXPECT_EQ(nic.adapterState, 1u);
    EXPECT_EQ(nic.defaultGateway + nic.dhcpServer + nic.dnsServer1 + nic.dnsServer2, "");
    EXPECT_EQ(nic.dhcpEnabled, 0u);
    EXPECT_EQ(nic.wireless, 0u);
}

struct AddressCase {
    const char* what;
    std::string text;
    std::string mac;
    std::string ip;
    std::string mask;
};

void PrintTo(const AddressCase& c, std::ostream* out) { *out << c.what; }

const AddressCase kAddressCases[] = {
    {"IpAddrShow",
     "2: eth0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc fq_codel state UP\n"
     "    link/ether 00:50:56:9a:61:46 brd ff:ff:ff:ff:ff:ff\n"
     "    inet 192.168.1.10/24 brd 192.168.1.255 scope global dynamic eth0\n"
     "    inet6 fe80::250:56ff:fe9a:6146/64 scope link\n",
     "00:50:56:9a:61:46", "192.168.1.10", "255.255.255.0"},
    {"IfconfigOldForm",
     "eth0      Link encap:Ethernet  HWaddr 00:16:CB:A6:D4:3A  \n"
     "          inet addr:100.100.106.200  Bcast:100.100.106.255  Mask:255.255.255.0\n"
     "          inet6 addr: fe80::216:cbff:fea6:d43a/64 Scope:Link\n",
     "00:16:CB:A6:D4:3A", "",
     ""}, // two blanks between the address parts: no match (see the next case)
    {"IfconfigOldFormSingleBlanks",
     "eth0 Link encap:Ethernet HWaddr 00:16:CB:A6:D4:3A\n"
     "inet addr:100.100.106.200 Bcast:100.100.106.255 Mask:255.255.255.0\n",
     "00:16:CB:A6:D4:3A", "100.100.106.200", "255.255.255.0"},
    {"IfconfigNewFormSingleBlanks",
     "eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST> mtu 1500\n"
     "inet 10.0.0.5 netmask 255.255.0.0 broadcast 10.0.255.255\n"
     "inet6 fe80::1 prefixlen 64 scopeid 0x20<link>\n"
     "ether 00:21:cc:4b:29:7d txqueuelen 1000 (Ethernet)\n",
     "00:21:cc:4b:29:7d", "10.0.0.5", "255.255.0.0"},
    {"LastAddressLineWins",
     "inet 10.16.119.155/20 scope global dynamic ens160\ninet 10.16.127.70/16 scope global "
     "secondary ens160\n",
     "", "10.16.127.70", "255.255.0.0"},
    {"InetAddrWithoutBcastClearsAddress",
     "inet 10.0.0.5/8 scope global\ninet addr:127.0.0.1 Mask:255.0.0.0\n", "", "", ""},
    {"EtherWithoutTrailingBlankClearsMac",
     "HWaddr aa:bb:cc:dd:ee:ff\nlink/ether 00:11:22:33:44:55\n", "", "", ""},
    {"HWaddrAtLineEndGivesEmptyMac", "eth0 Link encap:Ethernet HWaddr\n", "", "", ""},
    {"HWaddrWithOneCharacter", "HWaddr x\n", "x", "", ""},
    {"Inet6Ignored", "inet6 2001:db8::1/64 scope global \n", "", "", ""},
    {"InetWithoutTrailingBlankIgnored", "inet 10.0.0.5/8\n", "", "", ""},
    {"OverlongLineIgnored", "inet " + std::string(100000, '1') + "/8 scope\n", "", "", ""},
    {"MissingFile", "", "", "", ""},
};

class Addresses : public ::testing::TestWithParam<AddressCase> {};

TEST_P(Addresses, LastLineOfEachKindWins) {
    const tagWMINICSTRUCT nic = onlyAdapter(GetParam().text);
    EXPECT_EQ(nic.macAddress, GetParam().mac);
    EXPECT_EQ(nic.ipAddress, GetParam().ip);
    EXPECT_EQ(nic.subnetMask, GetParam().mask);
}

INSTANTIATE_TEST_SUITE_P(LinuxNetwork, Addresses, ::testing::ValuesIn(kAddressCases),
                         [](const auto& test) { return std::string(test.param.what); });

// "net_N": gateway, name servers, DHCP and wireless as the script found them.
struct ConfigurationCase {
    const char* what;
    std::string text;
    std::string gateway, dns1, dns2;
    uint32_t dhcp;
    std::string server;
    uint32_t wireless;
};

void PrintTo(const ConfigurationCase& c, std::ostream* out) { *out << c.what; }

const ConfigurationCase kConfigurationCases[] = {
    {"Complete",
     "GATEWAY=10.0.0.1\nDNS=10.0.0.53\nDNS=2001:db8::53\nDHCP=1\nDHCP_SERVER=10.0.0.2\nWIRELESS="
     "1\n",
     "10.0.0.1", "10.0.0.53", "2001:db8::53", 1, "10.0.0.2", 1},
    {"StaticWired", "GATEWAY=192.0.2.1\nDNS=10.255.255.53\nDHCP=0\nWIRELESS=0\n", "192.0.2.1",
     "10.255.255.53", "", 0, "", 0},
    {"FirstTwoDistinctServersAndFirstGateway",
     "GATEWAY=10.0.0.1\nGATEWAY=10.0.0.254\nDNS=10.0.0.53\nDNS=10.0.0.53\nDNS=10.0.0.54\nDNS=10.0."
     "0.55\n",
     "10.0.0.1", "10.0.0.53", "10.0.0.54", 0, "", 0},
    {"DhcpWithoutKnownServer", "DHCP=1\nDHCP_SERVER=\n", "", "", "", 1, "", 0},
    {"CarriageReturnsAndEmptyValues",
     "GATEWAY=\r\nGATEWAY=10.0.0.1\r\nDNS=\nDHCP=1\r\nWIRELESS=1\r\n", "10.0.0.1", "", "", 1, "",
     1},
    {"OnlyOneMeansYes", "DHCP=yes\nWIRELESS=true\n", "", "", "", 0, "", 0},
    {"UnknownKeysAndLinesIgnored", "# comment\nMTU=1500\ngateway=10.0.0.1\nGATEWAY\n", "", "", "",
     0, "", 0},
    {"MissingFile", "", "", "", "", 0, "", 0},
};

class Configuration : public ::testing::TestWithParam<ConfigurationCase> {};

TEST_P(Configuration, FillsGatewayNameServersDhcpAndWireless) {
    const ConfigurationCase& c = GetParam();
    InputFiles files = {{"nic_eth0", ""}, {"ip_eth0", "inet 10.0.0.15/24 scope global\n"}};
    if (!c.text.empty())
        files["net_eth0"] = c.text;
    const tagWMISTRUCT record = collect(files, &OpenHWManager::loadNicInfo);
    ASSERT_EQ(record.nics.size(), 1u);
    const tagWMINICSTRUCT& nic = record.nics[0];
    EXPECT_EQ(nic.defaultGateway, c.gateway);
    EXPECT_EQ(nic.dnsServer1, c.dns1);
    EXPECT_EQ(nic.dnsServer2, c.dns2);
    EXPECT_EQ(nic.dhcpEnabled, c.dhcp);
    EXPECT_EQ(nic.dhcpServer, c.server);
    EXPECT_EQ(nic.wireless, c.wireless);
    EXPECT_EQ(nic.ipAddress, "10.0.0.15");
}

INSTANTIATE_TEST_SUITE_P(LinuxNetwork, Configuration, ::testing::ValuesIn(kConfigurationCases),
                         [](const auto& test) { return std::string(test.param.what); });

TEST(LinuxNetwork, MaskFromPrefixLengthShiftsModulo32) {
    const std::pair<std::string, std::string> cases[] = {
        {"24", "255.255.255.0"},   {"8", "255.0.0.0"},
        {"31", "255.255.255.254"}, {"1", "128.0.0.0"},
        {"32", "255.255.255.255"}, {"0", "255.255.255.255"},
        {"x", "255.255.255.255"},  {"33", "128.0.0.0"},
        {"-8", "255.255.255.0"},   {"-2147483648", "255.255.255.255"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(onlyAdapter("inet 10.1.2.3/" + c.first + " scope global\n").subnetMask, c.second)
            << c.first;
}

TEST(LinuxNetwork, InterfacesInNameOrderFromNicEntries) {
    const tagWMISTRUCT record =
        collect({{"nic_wlan0", ""},
                 {"nic_eth1", ""},
                 {"nic_eth0", ""},
                 {"ip_eth0", "inet 10.0.0.1/8 x\n"},
                 {"ip_lo", "inet 127.0.0.1/8 x\n"}, // no "nic_lo": not listed
                 {"nic", ""},                       // too short to name one
                 {"nic_", ""},
                 {"nics", ""}},
                &OpenHWManager::loadNicInfo);
    std::vector<std::string> descriptions;
    for (const tagWMINICSTRUCT& nic : record.nics)
        descriptions.push_back(nic.description);
    EXPECT_EQ(descriptions, (std::vector<std::string>{"(eth0)", "(eth1)", "(wlan0)"}));
    EXPECT_EQ(record.nics.at(0).ipAddress, "10.0.0.1");
}

TEST(LinuxNetwork, MissingSourceFolderGivesNoAdapter) {
    tagWMISTRUCT record;
    OpenHWManager("/nonexistent/kx-linux/result", record).loadNicInfo(record);
    EXPECT_TRUE(record.nics.empty());
}

} // namespace
