// The collectors against real outputs of real machines. Where a tool's own
// output is not the form a collector reads, the test shows what the raw
// output gives and then shapes it the way the collection script must
// (the helpers below say how).
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <vector>

#include <boost/algorithm/string.hpp>

#include "inventory/CLinuxVersionParser.h"
#include "tests/linux/LinuxTestSupport.h"

namespace {

using namespace linuxtest;

std::string readSample(const fs::path& file) {
    fs::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string squeezeBlanks(const std::string& text) {
    static const std::regex kBlanks("[ \t]+");
    return std::regex_replace(text, kBlanks, " ");
}

// "dmidecode -t system": the "System Information" block alone.
std::string systemBlock(const std::string& dmidecode) {
    std::string block;
    bool inside = false;
    for (const std::string& line : linesOf(dmidecode)) {
        if (line == "System Information")
            inside = true;
        else if (inside && line.empty())
            break;
        if (inside)
            block += line + "\n";
    }
    return block;
}

// One interface's lines of "ip addr" or "ifconfig" output for all interfaces.
std::string interfaceBlock(const std::string& all, const std::string& heading) {
    std::string block;
    bool inside = false;
    for (const std::string& line : linesOf(all)) {
        if (!line.empty() && line[0] != ' ')
            inside = line.find(heading) != std::string::npos;
        if (inside)
            block += line + "\n";
    }
    return block;
}

struct ReleaseSample {
    const char* file;
    std::string distribution;
    std::string version;
};

void PrintTo(const ReleaseSample& c, std::ostream* out) { *out << c.file; }

const ReleaseSample kReleaseSamples[] = {
    {"distro-ubuntu-14.04-lsb-release", "Ubuntu 14.04.3 LTS", "14.04.3"},
    {"distro-ubuntu-16.04-lsb-release", "Ubuntu 16.04.1 LTS", "16.04.1"},
    {"distro-ubuntu-24.04-lsb-release", "Ubuntu 24.04.3 LTS", "24.04.3"},
    {"distro-centos-5-centos-release", "CentOS release 5.11 (Final)", "5.11"},
    {"distro-centos-7-centos-release", "CentOS Linux release 7.1.1503 (Core) ", "7.1.1503"},
    {"glpi-centos-7.9-centos-release", "CentOS Linux release 7.9.2009 (Core)", "7.9.2009"},
    {"distro-rhel-5-redhat-release", "Red Hat Enterprise Linux Server release 5.11 (Tikanga)", "5.11"},
    {"distro-rhel-6-redhat-release", "Red Hat Enterprise Linux Server release 6.5 (Santiago)", "6.5"},
    {"distro-rhel-7-redhat-release", "Red Hat Enterprise Linux Server release 7.0 (Maipo)", "7.0"},
    {"distro-fedora-19-fedora-release", "Fedora release 19 (Schr\xC3\xB6" "dinger\xE2\x80\x99s Cat)", "19"},
    {"distro-fedora-30-fedora-release", "Fedora release 30 (Thirty)", "30"},
    {"distro-fedora-42-fedora-release", "Fedora release 42 (Forty Two)", "42"},
    {"distro-oracle-7-oracle-release", "Oracle Linux Server release 7.5", "7.5"},
    {"distro-rocky-9-rocky-release", "Rocky Linux release 9.3 (Blue Onyx)", "9.3"},
    {"distro-scientific-7-redhat-release", "Scientific Linux release 7.2 (Nitrogen)", "7.2"},
    {"distro-cloudlinux-7-redhat-release", "CloudLinux release 7.3 (Yury Malyshev)", "7.3"},
    {"distro-amazon-2016.03-system-release", "Amazon Linux AMI release 2016.03", "2016.03"},
    {"distro-sles-12-SuSE-release", "SUSE Linux Enterprise Server 12 (s390x)", " 12"},
    {"distro-opensuse-42.1-SuSE-release", "openSUSE 42.1 (x86_64)", ""},
    {"distro-gentoo-gentoo-release", "Gentoo Base System release 2.2", "2.2"},
    {"distro-mandriva-2011-mandriva-release", "Mandriva Linux release 2011.0 (Official) for x86_64",
     "Mandriva Linux release 2011.0 (Official) for x86_64"},
    {"distro-mageia-5-mageia-release-also-mandriva-release", "Mageia release 5 (Official) for x86_64", "5 8664"},
    {"distro-slackware-14.1-slackware-version", "Slackware 14.1", "14.1"},
    {"distro-arch-arch-release-empty", "", ""},
    // Forms the script must not pass on as they are: debian_version has no
    // "Debian" word (the script adds a line holding it after the number), an
    // Ubuntu derivative's lsb-release has no "Ubuntu" word, and os-release is
    // read as a release line.
    {"distro-debian-8-debian_version", "8.2", "8.2"},
    {"glpi-debian-11.2-debian_version", "11.2", "11.2"},
    {"distro-debian-testing-debian_version", "bookworm/sid", ""},
    {"distro-linuxmint-17.3-lsb-release", "DISTRIB_ID=LinuxMint", ""},
    {"glpi-fedora-35-os-release", "NAME=\"Fedora Linux\"", ""},
    {"distro-arch-os-release", "NAME=\"Arch Linux\"", ""},
    {"distro-opensuse-leap-15.2-os-release", "PRETTY_NAME=\"openSUSE Leap 15.2\"", "\"15.2\""},
    {"distro-sles-12-os-release", "PRETTY_NAME=\"SUSE Linux Enterprise Server 12 SP1\"", "\"12.1\""},
};

class ReleaseSamples : public ::testing::TestWithParam<ReleaseSample> {};

TEST_P(ReleaseSamples, AsShipped) {
    const fs::path sample = linuxSample("release") / GetParam().file;
    REQUIRE_SAMPLE(sample);
    CLinuxVersionParser parser;
    parser.parse(sample);
    EXPECT_EQ(parser.distribution, GetParam().distribution);
    EXPECT_EQ(parser.version, GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(LinuxSamples, ReleaseSamples, ::testing::ValuesIn(kReleaseSamples));

TEST(LinuxSamples, DebianVersionWithDebianLineAfterIt) {
    const fs::path sample = linuxSample("release/glpi-debian-11.2-debian_version");
    REQUIRE_SAMPLE(sample);
    const ResultFolder folder(InputFiles{{"os", readSample(sample) + "Debian GNU/Linux\n"}});
    CLinuxVersionParser parser;
    parser.parse(fs::path(folder.path()) / "os");
    EXPECT_EQ(parser.distribution, "Debian 11.2");
    EXPECT_EQ(parser.version, "11.2");
}

struct CpuSample {
    const char* file;
    size_t packages;
    std::string name;
    uint32_t clockMhz;
    uint32_t cores;
};

void PrintTo(const CpuSample& c, std::ostream* out) { *out << c.file; }

const CpuSample kCpuSamples[] = {
    {"glpi-rhel5.6-2sockets-16threads-Xeon-cpuinfo", 2, "Intel(R) Xeon(R) CPU           E5620  @ 2.40GHz", 2394, 4},
    {"glpi-oracle-server-2sockets-16threads-cpuinfo", 2, "Intel(R) Xeon(R) CPU E5-2699 v3 @ 2.30GHz", 2301, 4},
    {"facter-amd64-2sockets-24threads-cpuinfo", 2, "Intel(R) Xeon(R) CPU           X5675  @ 3.07GHz", 3068, 6},
    {"glpi-1socket-1core-2threads-cpuinfo", 1, "Intel(R) Atom(TM) CPU N270   @ 1.60GHz", 800, 1},
    {"glpi-1socket-2cores-4threads-laptop-cpuinfo", 1, "Intel(R) Core(TM) i3 CPU       M 350  @ 2.27GHz", 933, 2},
    {"glpi-vmware-vm-2vcpus-no-physical-id-cpuinfo", 1, "Intel(R) Xeon(R) CPU           E7520  @ 1.87GHz", 2694, 1},
    {"facter-vm-4cpus-without-physical-id-cpuinfo", 1, "Intel(R) Xeon(R) CPU E5-2697 v4 @ 2.30GHz", 2294, 4},
    {"glpi-raspberry-pi3-armv7-cpuinfo", 1, "ARMv7 Processor rev 4 (v7l)", 0, 1},
    // No "model name" lines: no processor entry.
    {"glpi-raspberry-pi3-bookworm-aarch64-no-model-name-cpuinfo", 0, "", 0, 0},
    {"facter-arm64-cpuinfo", 0, "", 0, 0},
    {"glpi-powerpc-cpuinfo", 0, "", 0, 0},
};

class CpuSamples : public ::testing::TestWithParam<CpuSample> {};

TEST_P(CpuSamples, OneEntryPerPackage) {
    const fs::path sample = linuxSample("cpuinfo") / GetParam().file;
    REQUIRE_SAMPLE(sample);
    const tagWMISTRUCT record = collect({{"cpu", readSample(sample)}}, &TestableHW::loadCpuInfo);
    ASSERT_EQ(record.cpus.size(), GetParam().packages);
    for (const tagWMICPUSTRUCT& cpu : record.cpus) {
        EXPECT_EQ(cpu.name, GetParam().name);
        EXPECT_EQ(cpu.clockMhz, GetParam().clockMhz);
        EXPECT_EQ(cpu.cores, GetParam().cores);
    }
}

INSTANTIATE_TEST_SUITE_P(LinuxSamples, CpuSamples, ::testing::ValuesIn(kCpuSamples));

TEST(LinuxSamples, MeminfoTotal) {
    for (const char* file : {"facter-meminfo", "facter-meminfo-missing-MemAvailable"}) {
        const fs::path sample = linuxSample("meminfo") / file;
        REQUIRE_SAMPLE(sample);
        const tagWMISTRUCT record = collect({{"mem", readSample(sample)}}, &TestableHW::loadMemInfo);
        ASSERT_EQ(record.memorySlots.size(), 1u) << file;
        EXPECT_EQ(record.memorySlots[0].sizeKb, 4036680u) << file;
    }
}

struct DmiSample {
    const char* file;
    std::string manufacturer, model, serialNumber, uuid;
};

void PrintTo(const DmiSample& c, std::ostream* out) { *out << c.file; }

const DmiSample kDmiSamples[] = {
    {"glpi-dell-poweredge-r640-dmidecode", "Dell Inc.", "PowerEdge R640", "2RJF153",
     "4C4C4544-0052-4A10-8046-B2C04F313533"},
    {"glpi-hp-proliant-dl360p-gen8-dmidecode", "HP", "ProLiant DL360p Gen8", "USE2236835",
     "30343536-3138-5355-4532-323336383335"},
    {"glpi-lenovo-thinkpad-dmidecode", "LENOVO", "1298A8G", "LR9NKZ7", "725BA801-507B-11CB-95E6-C66052AAC597"},
    {"glpi-vmware-vm-dmidecode", "VMware, Inc.", "VMware Virtual Platform",
     "VMware-50 0c 23 94 04 63 a1 3c-0d d4 f5 37 a6 bb f0 a6", "500C2394-0127-D13C-0CC4-F537A6AAF1A6"},
    {"glpi-intel-S3000AHLX-board-dmidecode", "Not Specified", "Not Specified", "Not Specified",
     "D7AFF990-4871-11DB-A6C6-0007E994F7C3"},
    {"facter-virtualbox-dmidecode", "innotek GmbH", "VirtualBox", "0", "784198EC-5827-476E-9E24-B0E98E8958F5"},
};

class DmiSamples : public ::testing::TestWithParam<DmiSample> {};

TEST_P(DmiSamples, SystemBlockGivesIdentity) {
    const fs::path sample = linuxSample("dmidecode") / GetParam().file;
    REQUIRE_SAMPLE(sample);
    const tagWMISTRUCT record = collect({{"dmidecode", systemBlock(readSample(sample))}}, &TestableHW::loadSysInfo);
    const tagWMIINFOSTRUCT& entry = record.systemInfo.at(0);
    EXPECT_EQ(entry.manufacturer, GetParam().manufacturer);
    EXPECT_EQ(entry.model, GetParam().model);
    EXPECT_EQ(entry.serialNumber, GetParam().serialNumber);
    EXPECT_EQ(entry.uuid, GetParam().uuid);
}

INSTANTIATE_TEST_SUITE_P(LinuxSamples, DmiSamples, ::testing::ValuesIn(kDmiSamples));

TEST(LinuxSamples, FullDmidecodeOutputNamesTheLastMemoryModuleMaker) {
    const fs::path sample = linuxSample("dmidecode/glpi-lenovo-thinkpad-dmidecode");
    REQUIRE_SAMPLE(sample);
    const tagWMISTRUCT record = collect({{"dmidecode", readSample(sample)}}, &TestableHW::loadSysInfo);
    EXPECT_NE(record.systemInfo.at(0).manufacturer, "LENOVO"); // the script passes "dmidecode -t system"
}

// "lsblk -P" with every column: the collector wants TYPE, MODEL, SIZE, KNAME
// in this order and SIZE in bytes ("lsblk -b -d -P -o TYPE,MODEL,SIZE,KNAME").
TEST(LinuxSamples, LsblkColumnsInTheCollectorsOrder) {
    const fs::path sample = linuxSample("lsblk/insights-core-rhel-lsblk-P-o-all-columns");
    REQUIRE_SAMPLE(sample);
    const std::string raw = readSample(sample);
    EXPECT_TRUE(collect({{"physical_disk", raw}}, &TestableHW::loadDiskInfo).disks.empty());

    std::string ordered;
    for (const std::string& line : linesOf(raw)) {
        std::string reordered;
        for (const char* column : {"TYPE", "MODEL", "SIZE", "KNAME"}) {
            std::smatch value;
            const std::regex pair(std::string("(^| )") + column + "=\"([^\"]*)\"");
            ASSERT_TRUE(std::regex_search(line, value, pair)) << line;
            reordered += std::string(reordered.empty() ? "" : " ") + column + "=\"" + value.str(2) + "\"";
        }
        ordered += reordered + "\n";
    }
    const tagWMISTRUCT record = collect({{"physical_disk", ordered}}, &TestableHW::loadDiskInfo);
    ASSERT_EQ(record.disks.size(), 1u);
    EXPECT_EQ(record.disks[0].name, "WDC WD1600JS-75N");
    EXPECT_EQ(record.disks[0].sizeBytes, 149) << "149G: sizes must be printed in bytes";
    ASSERT_EQ(record.cdDrives.size(), 1u);
    EXPECT_EQ(record.cdDrives[0].name, "sr0");
    EXPECT_EQ(record.cdDrives[0].deviceName, "DVD+-RW DVD8801 ");
}

// "df -T -P" aligns its columns; the collector wants single blanks, the mount
// point first and sizes in bytes ("df -B1 --output=target,fstype,size,used,avail,pcent,source").
TEST(LinuxSamples, DfFieldsInTheCollectorsOrder) {
    const fs::path sample = linuxSample("df/glpi-df-T-P-linux");
    REQUIRE_SAMPLE(sample);
    const std::string raw = readSample(sample);
    EXPECT_TRUE(collect({{"logical_disk", raw}}, &TestableHW::loadPartitionInfo).partitions.empty());

    std::string shaped;
    for (const std::string& line : linesOf(squeezeBlanks(raw))) {
        std::vector<std::string> f;
        boost::algorithm::split(f, line, boost::algorithm::is_any_of(" "));
        if (f.size() < 7)
            continue;
        const auto bytes = [](const std::string& blocks) { return std::to_string(std::atoll(blocks.c_str()) * 1024); };
        shaped += f[6] + " " + f[1] + " " + bytes(f[2]) + " " + bytes(f[3]) + " " + bytes(f[4]) + " " + f[5] + " " +
                  f[0] + "\n";
    }
    const tagWMISTRUCT record = collect({{"logical_disk", shaped}}, &TestableHW::loadPartitionInfo);
    ASSERT_EQ(record.partitions.size(), 3u);
    EXPECT_EQ(record.partitions[0].name, "/");
    EXPECT_EQ(record.partitions[0].sizeBytes, 12396968LL * 1024);
    EXPECT_EQ(record.partitions[0].freeBytes, 6685288LL * 1024);
    EXPECT_EQ(record.partitions[1].name, "/media/windows");
    EXPECT_EQ(record.partitions[2].name, "/home");
}

// The collector reads the first line: the script passes the adapter's line
// alone ("lspci | grep 'VGA compatible controller' | head -n 1").
TEST(LinuxSamples, LspciAdapterLine) {
    const std::pair<const char*, std::string> cases[] = {
        {"facter-aws-xen-lspci", "Cirrus Logic GD 5446"},
        {"glpi-dell-xps-lspci-vvv-nn",
         "Intel Corporation Skylake GT2 [HD Graphics 520] [8086:1916] (rev 07) (prog-if 00 [VGA controller])"},
        {"glpi-nvidia-desktop-lspci-vvv-nn",
         "NVIDIA Corporation TU106 [GeForce RTX 2060 SUPER] [10de:1f06] (rev a1) (prog-if 00 [VGA controller])"},
    };
    for (const auto& c : cases) {
        const fs::path sample = linuxSample("lspci") / c.first;
        REQUIRE_SAMPLE(sample);
        std::string adapter;
        for (const std::string& line : linesOf(readSample(sample)))
            if (adapter.empty() && line.find("VGA compatible controller") != std::string::npos)
                adapter = line;
        const tagWMISTRUCT record = collect({{"video", adapter}}, &TestableHW::loadVgaInfo);
        ASSERT_EQ(record.monitors.size(), 1u) << c.first;
        EXPECT_EQ(record.monitors[0].name, c.second) << c.first;
    }
}

struct AddressSample {
    const char* file;
    const char* interface; // "" for a one-interface sample
    bool squeeze;          // runs of blanks made one, as "tr -s ' '" does
    std::string mac, ip, mask;
};

void PrintTo(const AddressSample& c, std::ostream* out) { *out << c.file << " " << c.interface; }

const AddressSample kAddressSamples[] = {
    // ifconfig pads with two blanks: the address lines match only once squeezed.
    {"ifconfig/facter-ubuntu7.04-eth0-ifconfig-nettools-old", "", false, "00:16:CB:A6:D4:3A", "", ""},
    {"ifconfig/facter-ubuntu7.04-eth0-ifconfig-nettools-old", "", true, "00:16:CB:A6:D4:3A", "100.100.106.200",
     "255.255.255.0"},
    {"ifconfig/facter-fedora8-eth0-ifconfig-nettools-old", "", true, "00:18:F3:F6:33:E5", "64.71.191.242",
     "255.255.255.248"},
    {"ifconfig/facter-em1-ifconfig-nettools-1.60-new", "", false, "00:21:cc:4b:29:7d", "", ""},
    {"ifconfig/facter-em1-ifconfig-nettools-1.60-new", "", true, "00:21:cc:4b:29:7d", "131.252.209.153",
     "255.255.255.0"},
    // No broadcast part: "netmask" ends the line, without the blank the pattern wants.
    {"ifconfig/facter-lo-ifconfig-nettools-1.60-new", "", true, "", "", ""},
    // Outputs for all interfaces: the script writes one file per interface.
    {"ifconfig/glpi-el8-ifconfig-new-all-interfaces", "eth0", true, "", "", ""},
    {"ip_addr/glpi-ip-addr-1", "eth0", false, "00:23:18:91:db:8d", "192.168.0.10", "255.255.255.0"},
    {"ip_addr/glpi-ip-addr-1", "wlan0", false, "e8:39:df:3f:7d:ef", "", ""},
    {"ip_addr/glpi-ip-addr-1", "tun0", false, "", "", ""}, // "inet A peer B/32": no address read
    {"ip_addr/facter-ip-a", "ens160", false, "00:50:56:9a:61:46", "10.16.127.70", "255.255.240.0"}, // last wins
};

class AddressSamples : public ::testing::TestWithParam<AddressSample> {};

TEST_P(AddressSamples, OneInterface) {
    const fs::path sample = linuxSample(GetParam().file);
    REQUIRE_SAMPLE(sample);
    std::string text = readSample(sample);
    if (*GetParam().interface != '\0')
        text = interfaceBlock(text, std::string(" ") + GetParam().interface + ":");
    if (GetParam().squeeze)
        text = squeezeBlanks(text);
    const tagWMISTRUCT record = collect({{"nic_if", ""}, {"ip_if", text}}, &TestableHW::loadNicInfo);
    ASSERT_EQ(record.nics.size(), 1u);
    EXPECT_EQ(record.nics[0].macAddress, GetParam().mac);
    EXPECT_EQ(record.nics[0].ipAddress, GetParam().ip);
    EXPECT_EQ(record.nics[0].subnetMask, GetParam().mask);
}

INSTANTIATE_TEST_SUITE_P(LinuxSamples, AddressSamples, ::testing::ValuesIn(kAddressSamples));

std::vector<tagAPPLIDATASTRUCT> packages(const InputFiles& files, bool withLog) {
    const ResultFolder folder(files);
    tagWMISTRUCT record;
    TestableSW manager(folder.path(), record);
    std::vector<tagAPPLIDATASTRUCT> out;
    if (withLog)
        manager.loadForUbuntu(out);
    else
        manager.loadForRestDists(out);
    return out;
}

// The lists are tab-separated; the reader wants name, version and time
// separated by blanks ("rpm -qa --queryformat '%{NAME} %{VERSION}-%{RELEASE} %{INSTALLTIME}\n'").
TEST(LinuxSamples, RpmListAsNameVersionTime) {
    const fs::path sample = linuxSample("packages/glpi-mageia-rpm-qa-queryformat-tab-separated");
    REQUIRE_SAMPLE(sample);
    const std::string raw = readSample(sample);
    EXPECT_EQ(packages({{"app", raw}}, false).at(0).name,
              "libpciaccess0\ti586\t0.12.1-1.mga1\t1311080703\t38452\tMageia.Org\tGeneric");

    std::string shaped;
    for (const std::string& line : linesOf(raw)) {
        std::vector<std::string> f;
        boost::algorithm::split(f, line, boost::algorithm::is_any_of("\t"));
        shaped += f.at(0) + " " + f.at(2) + " " + f.at(3) + "\n";
    }
    const std::vector<tagAPPLIDATASTRUCT> apps = packages({{"app", shaped}}, false);
    ASSERT_EQ(apps.size(), linesOf(raw).size());
    EXPECT_EQ(apps[0].name, "libpciaccess0");
    EXPECT_EQ(apps[0].version, "0.12.1-1.mga1");
    EXPECT_EQ(apps[0].installTime, 1311080703);
}

// dpkg.log's install lines end with "name:arch <none> version"; the key the
// package list refers to is one word, so the script cuts the line after
// "name:arch" (awk '$3 == "install" {print $1, $2, $3, $4}').
TEST(LinuxSamples, DpkgLogGivesInstallationDates) {
    const UtcZone utc;
    const fs::path sample = linuxSample("packages/locp-ubuntu14.04-dpkg.log-first-300-lines");
    REQUIRE_SAMPLE(sample);
    std::string log, list;
    for (const std::string& line : linesOf(readSample(sample))) {
        std::vector<std::string> f;
        boost::algorithm::split(f, line, boost::algorithm::is_any_of(" "));
        if (f.size() < 6 || f[2] != "install")
            continue;
        log += f[0] + " " + f[1] + " install " + f[3] + "\n";
        list += f[3].substr(0, f[3].find(':')) + " " + f[5] + " " + f[3] + "\n";
    }
    const std::vector<tagAPPLIDATASTRUCT> apps = packages({{"app_install", log}, {"app", list}}, true);
    ASSERT_EQ(apps.size(), 51u);
    EXPECT_EQ(apps[0].name, "base-passwd");
    EXPECT_EQ(apps[0].version, "3.5.33");
    EXPECT_EQ(apps[0].installTime, 1424288000); // 2015-02-18 19:33:20
    for (const tagAPPLIDATASTRUCT& app : apps)
        EXPECT_GT(app.installTime, 0) << app.name;
}

} // namespace
