// What a Linux host without DMI tables, with virtual disks or a configured
// network records, replayed through the script and read by the agent: the
// identity from the device tree and the machine id, disks named without a
// model, and per interface the gateway, name servers, DHCP and wireless.

#include <map>
#include <string>
#include <vector>

#include "tests/script/ReplayFixture.h"

namespace {

using namespace scripttest;

// ------------------------------------------------------------------ identity

struct IdentityCase {
    std::string what;
    std::string dmidecode; // sample printed by dmidecode; none when empty
    std::string tree;      // folder of the device tree under the root; none when empty
    std::string machineId; // where the machine id lies under the root; none when empty
    std::string idContent; // its content; this machine's when empty
    std::string model, serial, uuid;
};

void PrintTo(const IdentityCase& c, std::ostream* out) { *out << c.what; }

class ScriptIdentityWithoutDmi : public ScriptReplay,
                                 public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(ScriptIdentityWithoutDmi, DeviceTreeAndMachineIdStandInForDmi) {
    const IdentityCase& c = GetParam();
    if (!c.dmidecode.empty())
        stubPrints("dmidecode", sample("linux/dmidecode/" + c.dmidecode));
    if (!c.tree.empty()) {
        rootCopy(c.tree + "/model", sample("linux/devicetree/kx-fixture-raspberry-pi-4-model"));
        rootCopy(c.tree + "/serial-number",
                 sample("linux/devicetree/kx-fixture-raspberry-pi-4-serial-number"));
    }
    if (!c.machineId.empty()) {
        if (c.idContent.empty())
            rootCopy(c.machineId, sample("linux/machine/kx-dev-vm-machine-id"));
        else
            rootFile(c.machineId, c.idContent);
    }
    const json system = replay().hardware["system"];
    EXPECT_EQ(system["model"], c.model);
    EXPECT_EQ(system["serialNumber"], c.serial);
    EXPECT_EQ(system["uuid"], c.uuid);
}

const std::string kThisMachine = "3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4";

INSTANTIATE_TEST_SUITE_P(
    Sources, ScriptIdentityWithoutDmi,
    ::testing::Values(IdentityCase{"VirtualMachineByItsMachineId", "", "", "etc/machine-id", "", "",
                                   "", kThisMachine},
                      IdentityCase{"DbusCopyOfTheMachineId", "", "", "var/lib/dbus/machine-id", "",
                                   "", "", kThisMachine},
                      IdentityCase{"UninitializedMachineIdIsNone", "", "", "etc/machine-id",
                                   "uninitialized\n", "", "", ""},
                      IdentityCase{"ShortMachineIdIsNone", "", "", "etc/machine-id",
                                   "3d1219c7c4c5404a\n", "", "", ""},
                      IdentityCase{"BoardByItsDeviceTree", "", "proc/device-tree", "etc/machine-id",
                                   "", "Raspberry Pi 4 Model B Rev 1.4", "10000000a1b2c3d4",
                                   kThisMachine},
                      IdentityCase{"DeviceTreeInSysfirmware", "", "sys/firmware/devicetree/base",
                                   "", "", "Raspberry Pi 4 Model B Rev 1.4", "10000000a1b2c3d4",
                                   ""},
                      IdentityCase{"DmiWinsWhereItHasValues", "glpi-dell-poweredge-r640-dmidecode",
                                   "proc/device-tree", "etc/machine-id", "", "PowerEdge R640",
                                   "2RJF153", "4C4C4544-0052-4A10-8046-B2C04F313533"}),
    [](const ::testing::TestParamInfo<IdentityCase>& test) { return test.param.what; });

// --------------------------------------------------------------------- disks

// Virtual disks have no model: this machine's virtio disk and others are
// named by vendor and transport, else by their kernel names; never empty.
TEST_F(ScriptReplay, DisksWithoutAModelAreNamedByVendorAndTransport) {
    stubPrints("lsblk", sample("linux/lsblk/kx-dev-vm-lsblk-virtio-naming-columns"));
    json disks = replay().hardware["disks"];
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(disks[0]["name"], "Virtio block device");
    EXPECT_EQ(disks[0]["sizeBytes"], 274877906944LL);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"MODEL=\"Samsung SSD 860\" SIZE=\"1\" KNAME=\"sda\" VENDOR=\"ATA     \" TRAN=\"sata\" "
         "SUBSYSTEMS=\"block:scsi:pci\"",
         "Samsung SSD 860"},
        {"MODEL=\"\" SIZE=\"1\" KNAME=\"vdb\" VENDOR=\"\" TRAN=\"virtio\" "
         "SUBSYSTEMS=\"block:virtio:pci\"",
         "Virtio block device"},
        {"MODEL=\"\" SIZE=\"1\" KNAME=\"xvda\" VENDOR=\"\" TRAN=\"\" SUBSYSTEMS=\"block:xen\"",
         "Xen virtual block device"},
        {"MODEL=\"\" SIZE=\"1\" KNAME=\"sdb\" VENDOR=\"ATA     \" TRAN=\"sata\" "
         "SUBSYSTEMS=\"block:scsi:pci\"",
         "ATA SATA disk"},
        {"MODEL=\"\" SIZE=\"1\" KNAME=\"nvme0n1\" VENDOR=\"\" TRAN=\"nvme\" "
         "SUBSYSTEMS=\"block:nvme:pci\"",
         "NVMe disk"},
        {"MODEL=\"\" SIZE=\"1\" KNAME=\"mmcblk0\" VENDOR=\"\" TRAN=\"\" "
         "SUBSYSTEMS=\"block:mmc:mmc_host\"",
         "MMC disk"},
        {"MODEL=\"\" SIZE=\"1\" KNAME=\"nbd0\" VENDOR=\"\" TRAN=\"\" SUBSYSTEMS=\"block\"", "nbd0"},
        {"MODEL=\"\" SIZE=\"1\" KNAME=\"sdc\"", "sdc"}}; // an lsblk without the naming columns
    for (const auto& c : cases) {
        stubSays("lsblk", "TYPE=\"disk\" " + c.first + "\n");
        disks = replay().hardware["disks"];
        ASSERT_EQ(disks.size(), 1u) << c.first;
        EXPECT_EQ(disks[0]["name"], c.second) << c.first;
    }
}

// An lsblk too old for the naming columns refuses them: its disks are listed all the same.
TEST_F(ScriptReplay, AnLsblkWithoutTheNamingColumnsStillListsTheDisks) {
    stub("lsblk",
         "case \"$*\" in *SUBSYSTEMS*) echo 'lsblk: unknown column: VENDOR' >&2; exit 1 ;; esac\n"
         "echo 'TYPE=\"disk\" MODEL=\"\" SIZE=\"8\" KNAME=\"sda\"'");
    const json disks = replay().hardware["disks"];
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(disks[0]["name"], "sda");
}

// ------------------------------------------------------------------- network

// A laptop with a wired and a wireless link and a container bridge.
const char* const kIpAddr =
    "1: lo: <LOOPBACK,UP,LOWER_UP> mtu 65536 qdisc noqueue state UNKNOWN group default qlen 1000\n"
    "    link/loopback 00:00:00:00:00:00 brd 00:00:00:00:00:00\n"
    "    inet 127.0.0.1/8 scope host lo\n"
    "       valid_lft forever preferred_lft forever\n"
    "2: eth0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc fq_codel state UP group default "
    "qlen 1000\n"
    "    link/ether 52:54:00:12:34:56 brd ff:ff:ff:ff:ff:ff\n"
    "    inet 10.0.0.15/24 brd 10.0.0.255 scope global dynamic eth0\n"
    "       valid_lft 86313sec preferred_lft 86313sec\n"
    "3: wlan0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc noqueue state UP group default "
    "qlen 1000\n"
    "    link/ether 3c:58:c2:aa:bb:cc brd ff:ff:ff:ff:ff:ff\n"
    "    inet 192.168.1.23/24 brd 192.168.1.255 scope global dynamic noprefixroute wlan0\n"
    "       valid_lft 85000sec preferred_lft 85000sec\n"
    "4: docker0: <NO-CARRIER,BROADCAST,MULTICAST,UP> mtu 1500 qdisc noqueue state DOWN group "
    "default\n"
    "    link/ether 02:42:9f:11:22:33 brd ff:ff:ff:ff:ff:ff\n"
    "    inet 172.17.0.1/16 brd 172.17.255.255 scope global docker0\n"
    "       valid_lft forever preferred_lft forever\n"
    "5: wwan0: <POINTOPOINT,NOARP> mtu 1500 qdisc noop state DOWN group default qlen 1000\n"
    "    link/none \n";

// What the agent recorded for one interface.
struct Configured {
    std::string gateway, dns1, dns2;
    uint32_t dhcp = 0;
    std::string server;
    uint32_t wireless = 0;
};

using Interfaces = std::map<std::string, Configured>;

class ScriptNetworkReplay : public ScriptReplay {
protected:
    void SetUp() override {
        ScriptReplay::SetUp();
        if (HasFatalFailure())
            return;
        stubSays("ip-addr", kIpAddr);
        routes("");
        int index = 2;
        for (const char* name : {"eth0", "wlan0", "docker0", "wwan0"})
            rootFile(std::string("sys/class/net/") + name + "/ifindex",
                     std::to_string(index++) + "\n");
        fs::create_directories(root / "sys/class/net/wlan0/wireless");
    }

    // `ip -4 route` prints `file` (nothing when empty); `ip addr` the laptop's addresses.
    void routes(const std::string& file) {
        stub("ip", "case \"$*\" in *route*) " +
                       (file.empty() ? std::string(":") : "cat " + quoted(file)) +
                       " ;; *) ip-addr ;; esac");
    }

    Interfaces recorded() {
        Interfaces result;
        const json hardware = replay().hardware;
        for (const json& nic : hardware["nics"]) {
            std::string name = nic["description"];
            name = name.substr(name.find('(') + 1);
            name.pop_back();
            result[name] = {nic["defaultGateway"], nic["dnsServer1"], nic["dnsServer2"],
                            nic["dhcpEnabled"],    nic["dhcpServer"], nic["wireless"]};
        }
        return result;
    }
};

// The first default route through each interface gives its gateway.
TEST_F(ScriptNetworkReplay, GatewaysFromTheRoutingTable) {
    routes(sample("linux/route/kx-fixture-ip-4-route-two-defaults-on-eth0").string());
    const Interfaces actual = recorded();
    EXPECT_EQ(actual.at("eth0").gateway, "10.0.0.1");
    EXPECT_EQ(actual.at("wlan0").gateway, "192.168.1.1");
    EXPECT_EQ(actual.at("docker0").gateway, "");
    EXPECT_EQ(resultFile("net_eth0"), "GATEWAY=10.0.0.1\nDHCP=0\nWIRELESS=0\n");

    // This machine's routes, from ip and, where there is no ip, from the kernel's table.
    fs::remove(bin / "ip");
    stubSays("ifconfig",
             "eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1400\n"
             "        inet 192.0.2.2  netmask 255.255.255.0  broadcast 192.0.2.255\n\n");
    rootCopy("proc/net/route", sample("linux/route/kx-dev-vm-proc-net-route"));
    EXPECT_EQ(replay().hardware["nics"][0]["defaultGateway"], "192.0.2.1");
    stubSays("ip-addr", "4: eth0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1400\n"
                        "    inet 192.0.2.2/24 brd 192.0.2.255 scope global eth0\n");
    routes(sample("linux/route/kx-dev-vm-ip-4-route").string());
    fs::remove(root / "proc/net/route");
    EXPECT_EQ(replay().hardware["nics"][0]["defaultGateway"], "192.0.2.1");
}

struct ResolverCase {
    std::string what;
    std::string resolvConf; // sample in linux/resolv for /etc/resolv.conf
    std::string
        resolvectl;      // resolvectl's output sample; none when empty, "fails" for a failing one
    bool upstreamFile;   // /run/systemd/resolve/resolv.conf present
    Interfaces expected; // name servers only
};

void PrintTo(const ResolverCase& c, std::ostream* out) { *out << c.what; }

class ScriptResolverReplay : public ScriptNetworkReplay,
                             public ::testing::WithParamInterface<ResolverCase> {};

// The name servers actually asked: resolv.conf's, or behind systemd-resolved's
// stub its upstream servers, each link's own first. Every interface with an
// address uses the common ones; one without (wwan0) none.
TEST_P(ScriptResolverReplay, NameServersActuallyUsed) {
    const ResolverCase& c = GetParam();
    rootCopy("etc/resolv.conf", sample("linux/resolv/" + c.resolvConf));
    if (c.resolvectl == "fails")
        stub("resolvectl", "echo 'Failed to get global data: Unit "
                           "dbus-org.freedesktop.resolve1.service not found.' >&2; exit 1");
    else if (!c.resolvectl.empty())
        stubPrints("resolvectl", sample("linux/resolv/" + c.resolvectl));
    if (c.upstreamFile)
        rootCopy("run/systemd/resolve/resolv.conf",
                 sample("linux/resolv/kx-fixture-systemd-resolved-upstream-resolv.conf"));
    const Interfaces actual = recorded();
    ASSERT_EQ(actual.size(), 4u);
    for (const auto& interface : c.expected) {
        EXPECT_EQ(actual.at(interface.first).dns1, interface.second.dns1) << interface.first;
        EXPECT_EQ(actual.at(interface.first).dns2, interface.second.dns2) << interface.first;
    }
}

Configured dns(const std::string& first, const std::string& second = "") {
    return {"", first, second, 0, "", 0};
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ScriptResolverReplay,
    ::testing::Values(ResolverCase{"PlainResolvConf",
                                   "kx-dev-vm-resolv.conf-plain",
                                   "",
                                   true,
                                   {{"eth0", dns("10.255.255.53")},
                                    {"docker0", dns("10.255.255.53")},
                                    {"wwan0", dns("")}}},
                      ResolverCase{"StubWithResolvectl",
                                   "kx-fixture-systemd-resolved-stub-resolv.conf",
                                   "kx-fixture-resolvectl-dns",
                                   true,
                                   {{"eth0", dns("10.0.0.53", "10.0.0.54")},
                                    {"wlan0", dns("192.168.1.1", "2001:db8::1")},
                                    {"docker0", dns("9.9.9.9")},
                                    {"wwan0", dns("")}}},
                      ResolverCase{
                          "StubWithoutResolvectl",
                          "kx-fixture-systemd-resolved-stub-resolv.conf",
                          "",
                          true,
                          {{"eth0", dns("192.168.1.1", "2001:db8::1")}, {"wwan0", dns("")}}},
                      ResolverCase{"StubWithAFailingResolvectl",
                                   "kx-fixture-systemd-resolved-stub-resolv.conf",
                                   "fails",
                                   true,
                                   {{"wlan0", dns("192.168.1.1", "2001:db8::1")}}},
                      ResolverCase{"StubAloneNamesNoServer",
                                   "kx-fixture-systemd-resolved-stub-resolv.conf",
                                   "",
                                   false,
                                   {{"eth0", dns("")}}}),
    [](const ::testing::TestParamInfo<ResolverCase>& test) { return test.param.what; });

struct DhcpCase {
    std::string what;
    std::vector<std::pair<std::string, std::string>> files; // root path → sample in linux/leases
    std::vector<std::pair<std::string, std::string>> tools; // tool → sample in linux/leases
    Interfaces expected;                                    // DHCP fields only
};

void PrintTo(const DhcpCase& c, std::ostream* out) { *out << c.what; }

class ScriptDhcpReplay : public ScriptNetworkReplay,
                         public ::testing::WithParamInterface<DhcpCase> {};

// An interface is DHCP-configured when a client's lease holds the address it
// has now; a lease for another address is an old one.
TEST_P(ScriptDhcpReplay, DhcpStateAndServerFromTheClientsLeases) {
    const DhcpCase& c = GetParam();
    for (const auto& file : c.files)
        rootCopy(file.first, sample("linux/leases/" + file.second));
    for (const auto& tool : c.tools)
        stubPrints(tool.first, sample("linux/leases/" + tool.second));
    const Interfaces actual = recorded();
    ASSERT_EQ(actual.size(), 4u);
    for (const auto& interface : c.expected) {
        EXPECT_EQ(actual.at(interface.first).dhcp, interface.second.dhcp) << interface.first;
        EXPECT_EQ(actual.at(interface.first).server, interface.second.server) << interface.first;
    }
}

Configured dhcp(const std::string& server) { return {"", "", "", 1, server, 0}; }
const Configured kStatic{};

INSTANTIATE_TEST_SUITE_P(
    Sources, ScriptDhcpReplay,
    ::testing::Values(
        DhcpCase{"None", {}, {}, {{"eth0", kStatic}, {"wlan0", kStatic}, {"wwan0", kStatic}}},
        DhcpCase{"Networkd",
                 {{"run/systemd/netif/leases/2", "kx-fixture-networkd-lease-ifindex-2"}},
                 {},
                 {{"eth0", dhcp("10.0.0.1")}, {"wlan0", kStatic}}},
        DhcpCase{"NetworkdLeaseOfAnotherAddress",
                 {{"run/systemd/netif/leases/3", "kx-fixture-networkd-lease-ifindex-2"}},
                 {},
                 {{"eth0", kStatic}, {"wlan0", kStatic}}},
        DhcpCase{"NetworkManagerDevice",
                 {},
                 {{"nmcli", "kx-fixture-nmcli-t-f-DHCP4-device-show-wlan0"}},
                 {{"wlan0", dhcp("192.168.1.1")}, {"eth0", kStatic}}},
        DhcpCase{
            "NetworkManagerLeaseFile",
            {{"var/lib/NetworkManager/internal-0b8a4b9c-3e71-4a8f-9d2e-5f6a7b8c9d0e-wlan0.lease",
              "kx-fixture-networkmanager-internal-wlan0.lease"}},
            {},
            {{"wlan0", dhcp("")}, {"eth0", kStatic}}},
        DhcpCase{"DhclientLatestLeaseForTheAddress",
                 {{"var/lib/dhcp/dhclient.eth0.leases", "kx-fixture-dhclient.eth0.leases"}},
                 {},
                 {{"eth0", dhcp("10.0.0.1")}, {"wlan0", kStatic}}},
        DhcpCase{
            "Dhcpcd", {}, {{"dhcpcd", "kx-fixture-dhcpcd-U-eth0"}}, {{"eth0", dhcp("10.0.0.1")}}}),
    [](const ::testing::TestParamInfo<DhcpCase>& test) { return test.param.what; });

// A wireless interface has a "wireless" folder or a "phy80211" link in sysfs.
TEST_F(ScriptNetworkReplay, WirelessInterfacesBySysfs) {
    fs::create_directories(root / "sys/class/net/docker0/phy");
    fs::create_symlink(root / "sys/class/net/docker0/phy", root / "sys/class/net/wwan0/phy80211");
    const Interfaces actual = recorded();
    EXPECT_EQ(actual.at("eth0").wireless, 0u);
    EXPECT_EQ(actual.at("wlan0").wireless, 1u);
    EXPECT_EQ(actual.at("docker0").wireless, 0u);
    EXPECT_EQ(actual.at("wwan0").wireless, 1u);
}

} // namespace
