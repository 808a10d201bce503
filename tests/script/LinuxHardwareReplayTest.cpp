// Real Linux tool outputs and /proc, /sys files replayed through the script,
// then read by the agent's collectors: identity, processors, memory, disks,
// volumes, display and network adapters as those machines would be recorded.

#include <string>
#include <vector>

#include "tests/script/ReplayFixture.h"

namespace {

using namespace scripttest;

// ------------------------------------------------------------------ identity

struct IdentityCase {
    std::string sample;
    std::string manufacturer, model, serial, uuid;
};

void PrintTo(const IdentityCase& c, std::ostream* out) { *out << c.sample; }

class ScriptIdentityReplay : public ScriptReplay,
                             public ::testing::WithParamInterface<IdentityCase> {};

// The full dmidecode output repeats Manufacturer and Serial Number for the
// board and the chassis; only the system's own section counts.
TEST_P(ScriptIdentityReplay, SystemIdentityComesFromTheSystemSectionAlone) {
    stubPrints("dmidecode", sample("linux/dmidecode/" + GetParam().sample));
    const json system = replay().hardware["system"];
    EXPECT_EQ(system["manufacturer"], GetParam().manufacturer);
    EXPECT_EQ(system["model"], GetParam().model);
    EXPECT_EQ(system["serialNumber"], GetParam().serial);
    EXPECT_EQ(system["uuid"], GetParam().uuid);
    EXPECT_EQ(resultFile("dmidecode").find("Base Board"), std::string::npos);
    EXPECT_FALSE(hasResult("grep_sys_devices"));
}

INSTANTIATE_TEST_SUITE_P(
    Samples, ScriptIdentityReplay,
    ::testing::Values(
        IdentityCase{"facter-virtualbox-dmidecode", "innotek GmbH", "VirtualBox", "0",
                     "784198EC-5827-476E-9E24-B0E98E8958F5"},
        IdentityCase{"glpi-dell-poweredge-r640-dmidecode", "Dell Inc.", "PowerEdge R640", "2RJF153",
                     "4C4C4544-0052-4A10-8046-B2C04F313533"},
        IdentityCase{"glpi-hp-proliant-dl360p-gen8-dmidecode", "HP", "ProLiant DL360p Gen8",
                     "USE2236835", "30343536-3138-5355-4532-323336383335"},
        IdentityCase{"glpi-intel-S3000AHLX-board-dmidecode", "Not Specified", "Not Specified",
                     "Not Specified", "D7AFF990-4871-11DB-A6C6-0007E994F7C3"},
        IdentityCase{"glpi-lenovo-thinkpad-dmidecode", "LENOVO", "1298A8G", "LR9NKZ7",
                     "725BA801-507B-11CB-95E6-C66052AAC597"},
        IdentityCase{"glpi-vmware-vm-dmidecode", "VMware, Inc.", "VMware Virtual Platform",
                     "VMware-50 0c 23 94 04 63 a1 3c-0d d4 f5 37 a6 bb f0 a6",
                     "500C2394-0127-D13C-0CC4-F537A6AAF1A6"}));

// Without root dmidecode reads nothing; without dmidecode there is nothing to
// run: the firmware's identity comes from sysfs in the path:value form.
TEST_F(ScriptReplay, WithoutDmidecodeTheIdentityComesFromSysfs) {
    rootFile("sys/devices/virtual/dmi/id/sys_vendor", "LENOVO\n");
    rootFile("sys/devices/virtual/dmi/id/product_name", "20HRCTO1WW\n");
    rootFile("sys/devices/virtual/dmi/id/product_serial", "PF0XXXXX\n");
    rootFile("sys/devices/virtual/dmi/id/product_uuid", "a1b2c3d4-0000-1111-2222-333344445555\n");
    for (const std::string dmidecode : {"", "echo '/dev/mem: Permission denied' >&2; exit 1"}) {
        fs::remove(bin / "dmidecode");
        if (!dmidecode.empty())
            stub("dmidecode", dmidecode);
        const json system = replay().hardware["system"];
        EXPECT_EQ(system["manufacturer"], "LENOVO");
        EXPECT_EQ(system["model"], "20HRCTO1WW");
        EXPECT_EQ(system["serialNumber"], "PF0XXXXX");
        EXPECT_EQ(system["uuid"], "a1b2c3d4-0000-1111-2222-333344445555");
        EXPECT_FALSE(hasResult("dmidecode"));
        EXPECT_NE(
            resultFile("grep_sys_devices").find("/sys/devices/virtual/dmi/id/sys_vendor:LENOVO\n"),
            std::string::npos);
    }
}

// ---------------------------------------------------------------- processors

struct ProcessorCase {
    std::string sample;
    std::string lscpu; // lscpu's output; none when empty
    size_t packages;
    std::string name;
    uint32_t clockMhz, cores;
};

void PrintTo(const ProcessorCase& c, std::ostream* out) {
    *out << c.sample << (c.lscpu.empty() ? "" : " with lscpu");
}

class ScriptProcessorReplay : public ScriptReplay,
                              public ::testing::WithParamInterface<ProcessorCase> {};

// Every package is recorded, also where the kernel gives no "model name"
// (ARM, PowerPC): the name then comes from lscpu, the cpuinfo's own keys, or
// the architecture.
TEST_P(ScriptProcessorReplay, EveryPackageIsRecordedWithAName) {
    rootCopy("proc/cpuinfo", sample("linux/cpuinfo/" + GetParam().sample));
    if (!GetParam().lscpu.empty())
        stubSays("lscpu", GetParam().lscpu);
    const json cpus = replay().hardware["cpus"];
    ASSERT_EQ(cpus.size(), GetParam().packages);
    for (const json& cpu : cpus)
        EXPECT_EQ(cpu["name"], GetParam().name);
    EXPECT_EQ(cpus[0]["clockMhz"], GetParam().clockMhz);
    EXPECT_EQ(cpus[0]["cores"], GetParam().cores);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, ScriptProcessorReplay,
    ::testing::Values(
        ProcessorCase{"facter-amd64-2sockets-24threads-cpuinfo", "", 2,
                      "Intel(R) Xeon(R) CPU           X5675  @ 3.07GHz", 3068, 6},
        ProcessorCase{"glpi-oracle-server-2sockets-16threads-cpuinfo", "", 2,
                      "Intel(R) Xeon(R) CPU E5-2699 v3 @ 2.30GHz", 2301, 4},
        ProcessorCase{"glpi-rhel5.6-2sockets-16threads-Xeon-cpuinfo", "", 2,
                      "Intel(R) Xeon(R) CPU           E5620  @ 2.40GHz", 2394, 4},
        ProcessorCase{"glpi-1socket-1core-2threads-cpuinfo", "", 1,
                      "Intel(R) Atom(TM) CPU N270   @ 1.60GHz", 800, 1},
        ProcessorCase{"glpi-1socket-2cores-4threads-laptop-cpuinfo", "", 1,
                      "Intel(R) Core(TM) i3 CPU       M 350  @ 2.27GHz", 933, 2},
        ProcessorCase{"facter-vm-4cpus-without-physical-id-cpuinfo", "", 1,
                      "Intel(R) Xeon(R) CPU E5-2697 v4 @ 2.30GHz", 2294, 4},
        ProcessorCase{"glpi-vmware-vm-2vcpus-no-physical-id-cpuinfo", "", 1,
                      "Intel(R) Xeon(R) CPU           E7520  @ 1.87GHz", 2694, 1},
        ProcessorCase{"glpi-raspberry-pi3-armv7-cpuinfo", "", 1, "ARMv7 Processor rev 4 (v7l)", 0,
                      1},
        ProcessorCase{"glpi-raspberry-pi3-bookworm-aarch64-no-model-name-cpuinfo",
                      "Architecture:           aarch64\nVendor ID:              ARM\n"
                      "Model name:             Cortex-A53\nThread(s) per core:     1\n",
                      1, "Cortex-A53", 0, 1},
        ProcessorCase{"glpi-raspberry-pi3-bookworm-aarch64-no-model-name-cpuinfo", "", 1,
                      "Raspberry Pi 3 Model B Rev 1.2", 0, 1},
        ProcessorCase{"glpi-powerpc-cpuinfo", "", 1, "PPC970FX, altivec supported", 0, 1},
        ProcessorCase{"facter-arm64-cpuinfo", "", 1, "x86_64", 0, 1}));

TEST_F(ScriptReplay, MemoryIsMemTotal) {
    for (const char* name : {"facter-meminfo", "facter-meminfo-missing-MemAvailable"}) {
        rootCopy("proc/meminfo", sample(std::string("linux/meminfo/") + name));
        const json memory = replay().hardware["memorySlots"];
        ASSERT_EQ(memory.size(), 1u) << name;
        EXPECT_EQ(memory[0]["sizeKb"], 4036680) << name;
    }
}

// --------------------------------------------------------------------- disks

// An lsblk that prints every column (in its own order) and sizes with units:
// the pairs are taken by name, the sizes turned back into bytes, the
// optical drive kept apart, the partitions and volumes left out.
TEST_F(ScriptReplay, DisksAndOpticalDrivesFromLsblkInAnyColumnOrder) {
    stubPrints("lsblk", sample("linux/lsblk/insights-core-rhel-lsblk-P-o-all-columns"));
    const json hardware = replay().hardware;
    ASSERT_EQ(hardware["disks"].size(), 1u);
    EXPECT_EQ(hardware["disks"][0]["name"], "WDC WD1600JS-75N");
    EXPECT_EQ(hardware["disks"][0]["sizeBytes"], 149LL << 30);
    ASSERT_EQ(hardware["cdDrives"].size(), 1u);
    EXPECT_EQ(hardware["cdDrives"][0]["name"], "sr0");
    EXPECT_EQ(hardware["cdDrives"][0]["deviceName"], "DVD+-RW DVD8801");
    EXPECT_EQ(resultFile("physical_disk"),
              "TYPE=\"rom\" MODEL=\"DVD+-RW DVD8801\" SIZE=\"1073741824\" KNAME=\"sr0\"\n"
              "TYPE=\"disk\" MODEL=\"WDC WD1600JS-75N\" SIZE=\"159987531776\" KNAME=\"sda\"\n");
}

// The form asked for: padded models trimmed, compressed RAM swap no disk.
TEST_F(ScriptReplay, DiskModelsAreTrimmedAndRamDisksLeftOut) {
    stubSays(
        "lsblk",
        "TYPE=\"disk\" MODEL=\"Samsung SSD 860 EVO 500GB   \" SIZE=\"500107862016\" KNAME=\"sda\"\n"
        "TYPE=\"disk\" MODEL=\"\" SIZE=\"8589934592\" KNAME=\"zram0\"\n"
        "TYPE=\"disk\" MODEL=\"\" SIZE=\"274877906944\" KNAME=\"vda\"\n"
        "TYPE=\"loop\" MODEL=\"\" SIZE=\"4096\" KNAME=\"loop0\"\n");
    const json disks = replay().hardware["disks"];
    ASSERT_EQ(disks.size(), 2u);
    EXPECT_EQ(disks[0]["name"], "Samsung SSD 860 EVO 500GB");
    EXPECT_EQ(disks[0]["sizeBytes"], 500107862016LL);
    EXPECT_EQ(disks[1]["name"], "vda") << "named by its kernel name where nothing else is known";
    EXPECT_EQ(disks[1]["sizeBytes"], 274877906944LL);
}

// ------------------------------------------------------------------- volumes

TEST_F(ScriptReplay, VolumesFromDfInBytesNamedByMountPoint) {
    stubPrints("df", sample("linux/df/glpi-df-T-P-linux"));
    const json volumes = replay().hardware["partitions"];
    ASSERT_EQ(volumes.size(), 3u);
    const std::vector<std::tuple<std::string, int64_t, int64_t>> expected = {
        {"/", 12396968LL * 1024, 6685288LL * 1024},
        {"/media/windows", 61442860LL * 1024, 41513480LL * 1024},
        {"/home", 45168664LL * 1024, 22457104LL * 1024}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(volumes[i]["name"], std::get<0>(expected[i]));
        EXPECT_EQ(volumes[i]["sizeBytes"], std::get<1>(expected[i]));
        EXPECT_EQ(volumes[i]["freeBytes"], std::get<2>(expected[i]));
        EXPECT_EQ(volumes[i]["driveType"], 3);
    }
}

// Pseudo and network file systems, and a mount point with a blank, are no
// volumes of this machine; everything else keeps its place.
TEST_F(ScriptReplay, PseudoFileSystemsAndMountPointsWithBlanksAreLeftOut) {
    stubSays("df",
             "Filesystem     Type     1024-blocks     Used Available Capacity Mounted on\n"
             "udev           devtmpfs     4008360        0   4008360       0% /dev\n"
             "tmpfs          tmpfs         808124     1660    806464       1% /run\n"
             "/dev/nvme0n1p2 ext4       490617784 81234568 384361724      18% /\n"
             "overlay        overlay    490617784 81234568 384361724      18% "
             "/var/lib/docker/overlay2/x/merged\n"
             "/dev/loop3     squashfs       56832    56832         0     100% /snap/core18/2812\n"
             "server:/export nfs4       976284672 12345678 963938994       2% /mnt/export\n"
             "/dev/sdb1      vfat        30298112  1234567  29063545       5% /media/My Stick\n"
             "/dev/nvme0n1p1 vfat          523248     6220    517028       2% /boot/efi\n");
    const json volumes = replay().hardware["partitions"];
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[0]["name"], "/");
    EXPECT_EQ(volumes[1]["name"], "/boot/efi");
    EXPECT_EQ(lines(resultFile("logical_disk")).at(1),
              "/ ext4 502392610816 83184197632 393586405376 18% /dev/nvme0n1p2");
}

// ------------------------------------------------------------------- display

TEST_F(ScriptReplay, DisplayIsTheFirstGraphicsControllerWithoutCodes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {sample("linux/lspci/facter-aws-xen-lspci").string(), "Cirrus Logic GD 5446"},
        {sample("linux/lspci/glpi-dell-xps-lspci-vvv-nn").string(),
         "Intel Corporation Skylake GT2 [HD Graphics 520] (rev 07)"},
        {sample("linux/lspci/glpi-nvidia-desktop-lspci-vvv-nn").string(),
         "NVIDIA Corporation TU106 [GeForce RTX 2060 SUPER] (rev a1)"}};
    for (const auto& c : cases) {
        stubPrints("lspci", c.first);
        const json monitors = replay().hardware["monitors"];
        ASSERT_EQ(monitors.size(), 1u) << c.first;
        EXPECT_EQ(monitors[0]["name"], c.second) << c.first;
    }
    // A PCI domain of five digits would put a colon where the agent looks for the class's.
    stubSays(
        "lspci",
        "10000:e1:00.0 3D controller: NVIDIA Corporation GA107GLM [RTX A2000 Mobile] (rev a1)\n");
    const json monitors = replay().hardware["monitors"];
    ASSERT_EQ(monitors.size(), 1u);
    EXPECT_EQ(monitors[0]["name"], "NVIDIA Corporation GA107GLM [RTX A2000 Mobile] (rev a1)");
}

// ------------------------------------------------------------------- network

struct Adapter {
    std::string description, mac, ip, mask;
};

std::vector<Adapter> adapters(const json& hardware) {
    std::vector<Adapter> result;
    for (const json& nic : hardware["nics"])
        result.push_back(
            {nic["description"], nic["macAddress"], nic["ipAddress"], nic["subnetMask"]});
    return result;
}

void expectAdapters(const json& hardware, const std::vector<Adapter>& expected,
                    const std::string& sample) {
    const std::vector<Adapter> recorded = adapters(hardware);
    ASSERT_EQ(recorded.size(), expected.size()) << sample;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(recorded[i].description, expected[i].description) << sample;
        EXPECT_EQ(recorded[i].mac, expected[i].mac) << sample << " " << expected[i].description;
        EXPECT_EQ(recorded[i].ip, expected[i].ip) << sample << " " << expected[i].description;
        EXPECT_EQ(recorded[i].mask, expected[i].mask) << sample << " " << expected[i].description;
    }
}

// `ip addr`: per interface the hardware address and the primary IPv4
// address (not the secondary one listed after it, not a point-to-point
// peer's); loopback left out; udev's names for the adapter where it has them.
TEST_F(ScriptReplay, AdaptersFromIpAddrWithTheirPrimaryAddresses) {
    stub("udevadm",
         "case \"$*\" in *net/eth0) printf 'ID_VENDOR_FROM_DATABASE=Intel Corporation\\n"
         "ID_MODEL_FROM_DATABASE=82574L Gigabit Network Connection\\nINTERFACE=eth0\\n' ;; esac");
    const std::vector<std::pair<std::string, std::vector<Adapter>>> cases = {
        {"facter-ip-a", {{"(ens160)", "00:50:56:9a:61:46", "10.16.119.155", "255.255.240.0"}}},
        {"glpi-el8-ip-addr",
         {{"(docker0)", "02:42:0c:d5:0f:d7", "172.17.0.1", "255.255.0.0"},
          {"Intel Corporation 82574L Gigabit Network Connection (eth0)", "e4:11:5b:ed:36:0c",
           "10.10.220.100", "255.255.255.255"},
          {"(eth1)", "e4:11:5b:ed:36:38", "", ""},
          {"(eth2)", "e4:11:5b:ed:36:0e", "", ""},
          {"(eth3)", "e4:11:5b:ed:36:3a", "", ""},
          {"(macvlan0)", "4e:05:62:03:69:e7", "10.10.220.101", "255.255.255.0"}}},
        {"glpi-ip-addr-1",
         {{"Intel Corporation 82574L Gigabit Network Connection (eth0)", "00:23:18:91:db:8d",
           "192.168.0.10", "255.255.255.0"},
          {"(tap0)", "8a:84:99:29:46:05", "172.28.218.101", "255.255.255.0"},
          {"(tun0)", "", "192.168.41.6", "255.255.255.255"},
          {"(tun1)", "", "192.168.222.14", "255.255.255.255"},
          {"(wlan0)", "e8:39:df:3f:7d:ef", "", ""}}}};
    for (const auto& c : cases) {
        stubPrints("ip", sample("linux/ip_addr/" + c.first));
        expectAdapters(replay().hardware, c.second, c.first);
    }
    EXPECT_EQ(resultFile("nic_eth0"),
              "ID_VENDOR_FROM_DATABASE=Intel Corporation\n"
              "ID_MODEL_FROM_DATABASE=82574L Gigabit Network Connection\nINTERFACE=eth0\n");
    EXPECT_EQ(resultFile("ip_tun0"), "    inet 192.168.41.6/32 scope global\n");
}

// Where only net-tools exists: ifconfig's blocks, blank runs collapsed,
// aliases (eth0:srv) and loopback left out.
TEST_F(ScriptReplay, AdaptersFromIfconfigWhereThereIsNoIp) {
    const std::vector<std::pair<std::string, std::vector<Adapter>>> cases = {
        {"facter-ubuntu7.04-eth0-ifconfig-nettools-old",
         {{"(eth0)", "00:16:CB:A6:D4:3A", "100.100.106.200", "255.255.255.0"}}},
        {"facter-fedora8-eth0-ifconfig-nettools-old",
         {{"(eth0)", "00:18:F3:F6:33:E5", "64.71.191.242", "255.255.255.248"}}},
        {"facter-em1-ifconfig-nettools-1.60-new",
         {{"(em1)", "00:21:cc:4b:29:7d", "131.252.209.153", "255.255.255.0"}}},
        {"facter-lo-ifconfig-nettools-1.60-new", {}},
        {"glpi-el8-ifconfig-new-all-interfaces",
         {{"(docker0)", "02:42:0c:d5:0f:d7", "172.17.0.1", "255.255.0.0"},
          {"(eth0)", "e4:11:5b:ed:36:0c", "", ""},
          {"(eth1)", "e4:11:5b:ed:36:38", "", ""},
          {"(eth2)", "e4:11:5b:ed:36:0e", "", ""},
          {"(eth3)", "e4:11:5b:ed:36:3a", "", ""},
          {"(macvlan0)", "4e:05:62:03:69:e7", "10.10.220.101", "255.255.255.0"}}}};
    for (const auto& c : cases) {
        stubPrints("ifconfig", sample("linux/ifconfig/" + c.first));
        expectAdapters(replay().hardware, c.second, c.first);
    }
    stubPrints("ifconfig", sample("linux/ifconfig/glpi-rhel5.6-ifconfig-old-all-interfaces"));
    const std::vector<Adapter> recorded = adapters(replay().hardware);
    ASSERT_EQ(recorded.size(), 9u);
    EXPECT_EQ(recorded[0].description, "(eth0)");
    EXPECT_EQ(recorded[0].mac, "00:1E:68:2F:85:D8");
    EXPECT_EQ(recorded[0].ip, "10.202.0.31");
    EXPECT_EQ(recorded[0].mask, "255.255.252.0");
    EXPECT_EQ(recorded[8].description, "(virbr0)");
    EXPECT_EQ(recorded[8].ip, "192.168.122.1");
}

} // namespace
