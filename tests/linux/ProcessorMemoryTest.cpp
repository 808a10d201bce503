// Processors from "cpu" (one entry per package, described by its first
// logical processor) and the memory total from the first line of "mem".
#include <gtest/gtest.h>

#include <vector>

#include "tests/linux/LinuxTestSupport.h"

namespace {

using namespace linuxtest;

// One /proc/cpuinfo block; a negative package or core count leaves its line out.
std::string logicalProcessor(int number, int package, const std::string& name,
                             const std::string& mhz, int cores) {
    std::string block = "processor\t: " + std::to_string(number) + "\n";
    if (!name.empty())
        block += "model name\t: " + name + "\n";
    if (!mhz.empty())
        block += "cpu MHz\t\t: " + mhz + "\n";
    if (package >= 0)
        block += "physical id\t: " + std::to_string(package) + "\n";
    if (cores >= 0)
        block += "cpu cores\t: " + std::to_string(cores) + "\n";
    return block + "flags\t\t: fpu vme de pse\n\n";
}

std::string processors(const std::vector<int>& packages, const std::string& name = "Xeon",
                       const std::string& mhz = "2400.000", int cores = 4) {
    std::string text;
    for (size_t i = 0; i < packages.size(); ++i)
        text += logicalProcessor(static_cast<int>(i), packages[i],
                                 name.empty() ? name : name + " " + std::to_string(i), mhz, cores);
    return text;
}

struct Cpu {
    std::string name;
    uint32_t clockMhz;
    uint32_t cores;
    bool operator==(const Cpu& other) const {
        return name == other.name && clockMhz == other.clockMhz && cores == other.cores;
    }
};

void PrintTo(const Cpu& cpu, std::ostream* out) {
    *out << "{" << cpu.name << ", " << cpu.clockMhz << " MHz, " << cpu.cores << " cores}";
}

struct CpuCase {
    const char* what;
    std::string text;
    std::vector<Cpu> cpus;
};

const CpuCase kCpuCases[] = {
    {"EightThreadsOnePackage", processors({0, 0, 0, 0, 0, 0, 0, 0}), {{"Xeon 0", 2400, 4}}},
    {"TwoPackagesInOrder",
     processors({0, 0, 0, 0, 1, 1, 1, 1}),
     {{"Xeon 0", 2400, 4}, {"Xeon 4", 2400, 4}}},
    {"TwoPackagesInterleaved",
     processors({0, 1, 0, 1}),
     {{"Xeon 0", 2400, 4}, {"Xeon 1", 2400, 4}}},
    {"NoPhysicalIdIsOnePackage", processors({-1, -1, -1}), {{"Xeon 0", 2400, 4}}},
    {"NoModelNameNoEntry", processors({0, 0}, ""), {}},
    {"FractionalClockCut", processors({0}, "Xeon", "1999.998"), {{"Xeon 0", 1999, 4}}},
    {"NoClockOrCoresLines", processors({0}, "ARMv7", "", -1), {{"ARMv7 0", 0, 1}}},
    {"PackageWithoutNameAtItsPosition",
     logicalProcessor(0, 0, "Xeon", "2400", 4) + logicalProcessor(1, 1, "", "2400", 4),
     {{"Xeon", 2400, 4}}},
    {"LinesWithoutColonIgnored", "model name Xeon\nmodel name: Opteron\n", {{"Opteron", 0, 1}}},
    {"CarriageReturnsTrimmed", "model name\t: Xeon\r\ncpu MHz\t: 2400.0\r\n", {{"Xeon", 2400, 1}}},
    {"EmptyFile", "", {}},
};

class Processors : public ::testing::TestWithParam<CpuCase> {};

TEST_P(Processors, OneEntryPerPackage) {
    const tagWMISTRUCT record = collect({{"cpu", GetParam().text}}, &OpenHWManager::loadCpuInfo);
    std::vector<Cpu> cpus;
    for (const tagWMICPUSTRUCT& cpu : record.cpus)
        cpus.push_back({cpu.name, cpu.clockMhz, cpu.cores});
    EXPECT_EQ(cpus, GetParam().cpus);
}

INSTANTIATE_TEST_SUITE_P(LinuxCpu, Processors, ::testing::ValuesIn(kCpuCases),
                         [](const auto& test) { return std::string(test.param.what); });

TEST(LinuxCpu, MissingFileGivesNoEntry) {
    EXPECT_TRUE(collect({}, &OpenHWManager::loadCpuInfo).cpus.empty());
}

struct MemoryCase {
    const char* what;
    std::string text;
    std::vector<uint32_t> sizesKb;
};

const MemoryCase kMemoryCases[] = {
    {"TotalInKilobytes", "MemTotal:        8000 kB\nMemFree:  100 kB\n", {8000}},
    {"AboveTwoTerabytes", "MemTotal:       3000000000 kB\n", {3000000000u}},
    {"WithoutUnit", "MemTotal: 16384\n", {16384}},
    {"OtherKeyFirst", "MemFree:  100 kB\nMemTotal: 8000 kB\n", {}},
    {"NoColon", "MemTotal 8000 kB\n", {}},
    {"NotANumber", "MemTotal: unknown\n", {0}},
    {"EmptyFile", "", {}},
};

class Memory : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(Memory, FirstLineTotal) {
    const tagWMISTRUCT record = collect({{"mem", GetParam().text}}, &OpenHWManager::loadMemInfo);
    std::vector<uint32_t> sizes;
    for (const tagMEMORYSLOT& slot : record.memorySlots) {
        EXPECT_EQ(slot.name, "");
        sizes.push_back(slot.sizeKb);
    }
    EXPECT_EQ(sizes, GetParam().sizesKb);
}

INSTANTIATE_TEST_SUITE_P(LinuxMemory, Memory, ::testing::ValuesIn(kMemoryCases),
                         [](const auto& test) { return std::string(test.param.what); });

} // namespace
