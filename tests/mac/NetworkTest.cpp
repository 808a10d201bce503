// The network services.
#include "tests/mac/Describe.h"
#include "tests/mac/MacTestSupport.h"

using namespace mactest;

namespace {

class Network : public ::testing::Test {
protected:
    Lines load(const std::string& content) {
        writeFile(source / "nics", content);
        tagWMISTRUCT record;
        hw.loadNicInfo_mac(record);
        return describe(record.nics);
    }

    TempFolder temp;
    fs::path source = temp.folder("result");
    tagWMISTRUCT unused;
    OpenHWManager hw{source.string(), temp.path().string(), unused};
};

TEST_F(Network, RealMiniReportHasNoAddressesSoNoAdapters) {
    const fs::path sample =
        macSample("network/ohai-10.7.5-MacBookPro8-2-SPNetworkDataType-mini.xml");
    REQUIRE_SAMPLE(sample);
    EXPECT_TRUE(load(readFile(sample)).empty());
}

TEST_F(Network, ServicesWithAnIPv4Configuration) {
    const std::string services = report({
        dict({entry("_name", str("Ethernet")), entry("type", str("Ethernet")),
              entry("IPv4",
                    dict({entry("ConfigMethod", str("DHCP")), entry("InterfaceName", str("en0")),
                          entry("Router", str("192.168.1.1")),
                          entry("Addresses", array({str("192.168.1.20"), str("192.168.1.21")})),
                          entry("SubnetMasks", str("255.255.0.0"))})),
              entry("dhcp", dict({entry("dhcp_server_identifier", str("192.168.1.1")),
                                  entry("dhcp_subnet_mask", str("255.255.255.0"))})),
              entry("Ethernet", dict({entry("MAC Address", str("00:1c:42:00:00:08"))})),
              entry("DNS", dict({entry("ServerAddresses", array({str("192.168.1.1"), str("8.8.8.8"),
                                                                 str("9.9.9.9")}))}))}),
        dict({entry("_name", str("Wi-Fi")), entry("type", str("AirPort")),
              entry("IPv4",
                    dict({entry("ConfigMethod", str("Manual")), entry("InterfaceName", str("en1")),
                          entry("Addresses", array({integer(1)})),
                          entry("SubnetMasks", array({str("255.255.255.0")}))})),
              entry("DNS", dict({entry("ServerAddresses", array({str("10.0.0.1")}))}))}),
        dict(
            {entry("_name", str("VPN")), entry("IPv4", dict({entry("InterfaceName", str(""))})),
             entry("DNS", dict({entry("ServerAddresses", array({integer(5), str("10.0.0.2")}))}))}),
        dict({entry("_name", str("Bluetooth PAN")), entry("type", str("Ethernet")),
              entry("Ethernet", dict({entry("MAC Address", str("00:00:00:00:00:01"))}))}),
        dict({entry("IPv4", dict({entry("InterfaceName", str("en5"))}))}),
        str("not a service"),
    });
    EXPECT_EQ(
        load(services),
        (Lines{
            "1 | Ethernet (en0) | 00:1c:42:00:00:08 | 192.168.1.20 | 255.255.255.0 | 192.168.1.1 | "
            "192.168.1.1 | 192.168.1.1 | 8.8.8.8 | dhcp 1 | wireless 0",
            "1 | Wi-Fi (en1) |  |  |  |  |  | 10.0.0.1 |  | dhcp 0 | wireless 1",
            "1 | VPN |  |  |  |  |  |  | 10.0.0.2 | dhcp 0 | wireless 0",
            "1 |  (en5) |  |  |  |  |  |  |  | dhcp 0 | wireless 0",
        }));
}

TEST_F(Network, MissingOrUnreadableReportAddsNothing) {
    tagWMISTRUCT record;
    hw.loadNicInfo_mac(record);
    EXPECT_TRUE(record.nics.empty());
    EXPECT_TRUE(load("").empty());
}

} // namespace
