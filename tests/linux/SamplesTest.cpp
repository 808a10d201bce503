// The collectors against real files of real machines that the collection
// script passes on as they are: /proc/cpuinfo where it names the model,
// /proc/meminfo, and a release file whose one line names the distribution
// and its version. Every other sample is a tool's output or a file the script
// reshapes first; those go through the script itself, replayed under
// tests/script, so that the expectations are what the script really leaves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>

#include "inventory/CLinuxVersionParser.h"
#include "tests/linux/LinuxTestSupport.h"
#include "tests/support/Files.h"

namespace {

using namespace linuxtest;

struct ReleaseSample {
    const char* file;
    std::string distribution;
    std::string version;
};

void PrintTo(const ReleaseSample& c, std::ostream* out) { *out << c.file; }

// Release files of one line, without trailing blanks or " for <arch>": the
// script's "os" is that line.
const ReleaseSample kReleaseSamples[] = {
    {"distro-centos-5-centos-release", "CentOS release 5.11 (Final)", "5.11"},
    {"glpi-centos-7.9-centos-release", "CentOS Linux release 7.9.2009 (Core)", "7.9.2009"},
    {"distro-rhel-5-redhat-release", "Red Hat Enterprise Linux Server release 5.11 (Tikanga)",
     "5.11"},
    {"distro-rhel-6-redhat-release", "Red Hat Enterprise Linux Server release 6.5 (Santiago)",
     "6.5"},
    {"distro-rhel-7-redhat-release", "Red Hat Enterprise Linux Server release 7.0 (Maipo)", "7.0"},
    {"distro-fedora-19-fedora-release",
     "Fedora release 19 (Schr\xC3\xB6"
     "dinger\xE2\x80\x99s Cat)",
     "19"},
    {"distro-fedora-30-fedora-release", "Fedora release 30 (Thirty)", "30"},
    {"distro-fedora-42-fedora-release", "Fedora release 42 (Forty Two)", "42"},
    {"distro-oracle-7-oracle-release", "Oracle Linux Server release 7.5", "7.5"},
    {"distro-rocky-9-rocky-release", "Rocky Linux release 9.3 (Blue Onyx)", "9.3"},
    {"distro-scientific-7-redhat-release", "Scientific Linux release 7.2 (Nitrogen)", "7.2"},
    {"distro-cloudlinux-7-redhat-release", "CloudLinux release 7.3 (Yury Malyshev)", "7.3"},
    {"distro-amazon-2016.03-system-release", "Amazon Linux AMI release 2016.03", "2016.03"},
    {"distro-gentoo-gentoo-release", "Gentoo Base System release 2.2", "2.2"},
    {"distro-slackware-14.1-slackware-version", "Slackware 14.1", "14.1"},
};

class ReleaseSamples : public ::testing::TestWithParam<ReleaseSample> {};

TEST_P(ReleaseSamples, AsShipped) {
    const fs::path sample = linuxSample("release") / GetParam().file;
    REQUIRE_SAMPLE(sample);
    // A sample of another form belongs to the script's replays.
    const std::vector<std::string> text = kxtest::lines(kxtest::readFile(sample));
    ASSERT_EQ(text.size(), 1u) << "not one line";
    ASSERT_FALSE(boost::algorithm::ends_with(text[0], " ") ||
                 boost::algorithm::contains(text[0], " for "))
        << "the script trims this line";
    CLinuxVersionParser parser;
    parser.parse(sample);
    EXPECT_EQ(parser.distribution, GetParam().distribution);
    EXPECT_EQ(parser.version, GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(LinuxSamples, ReleaseSamples, ::testing::ValuesIn(kReleaseSamples));

struct CpuSample {
    const char* file;
    size_t packages;
    std::string name;
    uint32_t clockMhz;
    uint32_t cores;
};

void PrintTo(const CpuSample& c, std::ostream* out) { *out << c.file; }

// cpuinfo with "model name" lines; where it has none the script adds them.
const CpuSample kCpuSamples[] = {
    {"glpi-rhel5.6-2sockets-16threads-Xeon-cpuinfo", 2,
     "Intel(R) Xeon(R) CPU           E5620  @ 2.40GHz", 2394, 4},
    {"glpi-oracle-server-2sockets-16threads-cpuinfo", 2,
     "Intel(R) Xeon(R) CPU E5-2699 v3 @ 2.30GHz", 2301, 4},
    {"facter-amd64-2sockets-24threads-cpuinfo", 2,
     "Intel(R) Xeon(R) CPU           X5675  @ 3.07GHz", 3068, 6},
    {"glpi-1socket-1core-2threads-cpuinfo", 1, "Intel(R) Atom(TM) CPU N270   @ 1.60GHz", 800, 1},
    {"glpi-1socket-2cores-4threads-laptop-cpuinfo", 1,
     "Intel(R) Core(TM) i3 CPU       M 350  @ 2.27GHz", 933, 2},
    {"glpi-vmware-vm-2vcpus-no-physical-id-cpuinfo", 1,
     "Intel(R) Xeon(R) CPU           E7520  @ 1.87GHz", 2694, 1},
    {"facter-vm-4cpus-without-physical-id-cpuinfo", 1, "Intel(R) Xeon(R) CPU E5-2697 v4 @ 2.30GHz",
     2294, 4},
    {"glpi-raspberry-pi3-armv7-cpuinfo", 1, "ARMv7 Processor rev 4 (v7l)", 0, 1},
};

class CpuSamples : public ::testing::TestWithParam<CpuSample> {};

TEST_P(CpuSamples, OneEntryPerPackage) {
    const fs::path sample = linuxSample("cpuinfo") / GetParam().file;
    REQUIRE_SAMPLE(sample);
    const std::string text = kxtest::readFile(sample);
    ASSERT_TRUE(boost::algorithm::starts_with(text, "model name") ||
                boost::algorithm::contains(text, "\nmodel name"))
        << "without \"model name\" lines the script adds them: a replay's case";
    const tagWMISTRUCT record = collect({{"cpu", text}}, &OpenHWManager::loadCpuInfo);
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
        const tagWMISTRUCT record =
            collect({{"mem", kxtest::readFile(sample)}}, &OpenHWManager::loadMemInfo);
        ASSERT_EQ(record.memorySlots.size(), 1u) << file;
        EXPECT_EQ(record.memorySlots[0].sizeKb, 4036680u) << file;
    }
}

} // namespace
