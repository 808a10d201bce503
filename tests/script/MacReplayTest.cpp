// The script's macOS branch on a replayed Mac: stub system_profiler, sw_vers
// and hostname print real outputs; the script runs under bash in POSIX mode
// (macOS's /bin/sh); the agent's macOS collectors read what it left.

#include <map>
#include <set>
#include <string>

#include "tests/script/ReplayFixture.h"

namespace {

using namespace scripttest;

class ScriptMacReplay : public ScriptReplay {
protected:
    void SetUp() override {
        ScriptReplay::SetUp();
        if (IsSkipped())
            return;
        stubSays("uname", "Darwin\n");
        stubSays("hostname", "MacBook-Pro.example.org\n");
        stubPrints("sw_vers",
                   sample("macos/sw_vers/facter-13.3.1-RSR-ProductVersionExtra-sw_vers.txt"));
        reports = {
            {"SPHardwareDataType",
             "hardware/ohai-10.7.5-MacBookPro8-2-SPHardwareDataType-full.xml"},
            {"SPMemoryDataType", "memory/ohai-10.7.5-MacBookPro8-2-SPMemoryDataType-mini.xml"},
            {"SPSerialATADataType", "sata/ohai-10.7.5-MacBookPro8-2-SPSerialATADataType-mini.xml"},
            {"SPNVMeDataType", "nvme/glpi-AppleSilicon-APPLE-SSD-AP0512Q-SPNVMeDataType.xml"},
            {"SPParallelATADataType",
             "pata/ohai-10.7.5-MacBookPro8-2-SPParallelATADataType-mini-empty.xml"},
            {"SPStorageDataType",
             "storage/ohai-2016-MacBookPro11-1-SPStorageDataType-corestorage.xml"},
            {"SPNetworkDataType", "network/ohai-10.7.5-MacBookPro8-2-SPNetworkDataType-mini.xml"},
            {"SPApplicationsDataType",
             "applications/ohai-10.7.5-MacBookPro8-2-SPApplicationsDataType-mini.xml"},
            {"SPDisplaysDataType", "displays/glpi-GeForceGT730-SPDisplaysDataType.txt"}};
        writeProfiler();
    }

    // system_profiler: records its arguments, prints the report of the data
    // type asked for (a report named "cut:" is cut off after 1000 bytes).
    void writeProfiler() {
        std::string body =
            "printf '%s\\n' \"$*\" >> " + quoted((base / "calls").string()) + "\ncase \"$*\" in\n";
        for (const auto& report : reports) {
            const bool cut = report.second.rfind("cut:", 0) == 0;
            const fs::path file = sample("macos/" + report.second.substr(cut ? 4 : 0));
            body += "*" + report.first + "*) " + (cut ? "head -c 1000 " : "cat ") +
                    quoted(file.string()) + " ;;\n";
        }
        stub("system_profiler", body + "esac");
    }

    std::map<std::string, std::string> reports;
};

TEST_F(ScriptMacReplay, EveryReportIsLeftAsTheProfilerWroteIt) {
    replay("bash --posix");
    // The profiler's reports, and the displays in their text form.
    std::map<std::string, std::string> files = macReportTypes();
    files["video"] = "SPDisplaysDataType";
    for (const auto& file : files)
        EXPECT_EQ(resultFile(file.first), readFile(sample("macos/" + reports[file.second])))
            << file.first;
    // The full detail level: the mini one drops serials, volumes and network details.
    for (const std::string& call : lines(readFile(base / "calls"))) {
        if (call != "SPDisplaysDataType") {
            EXPECT_EQ(call.rfind("-xml -detailLevel full SP", 0), 0u) << call;
        }
    }
    // ProductVersionExtra also begins with "ProductVersion": left out.
    EXPECT_EQ(resultFile("os"), "ProductName:\tmacOS\nProductVersion:\t13.3.1\n");
    EXPECT_EQ(resultFile("hostname"), "MacBook-Pro.example.org\n");
    for (const char* linuxOnly :
         {"cpu", "mem", "arch", "app_install", "physical_disk", "logical_disk"})
        EXPECT_FALSE(hasResult(linuxOnly)) << linuxOnly;
}

TEST_F(ScriptMacReplay, TheAgentRecordsTheMacFromTheReports) {
    const Inventory inventory = replay("bash --posix");
    const json& hardware = inventory.hardware;
    EXPECT_EQ(hardware["system"]["manufacturer"], "Apple Inc.");
    EXPECT_EQ(hardware["system"]["model"], "MacBook Pro");
    EXPECT_EQ(hardware["system"]["serialNumber"], "ABCDEFG12345");
    EXPECT_EQ(hardware["system"]["uuid"], "DAB12AB34-1234-2222-12FE-1CA6A8F2CB91");
    EXPECT_EQ(hardware["system"]["computerName"], "MacBook-Pro");
    EXPECT_EQ(hardware["operatingSystem"]["domainName"], "example.org");
    EXPECT_EQ(hardware["operatingSystem"]["osName"], "macOS");
    EXPECT_EQ(hardware["operatingSystem"]["osVersion"], "13.3.1");
    ASSERT_EQ(hardware["cpus"].size(), 1u);
    EXPECT_EQ(hardware["cpus"][0]["name"], "Intel Core i7");
    EXPECT_EQ(hardware["cpus"][0]["cores"], 4);
    ASSERT_EQ(hardware["memorySlots"].size(), 2u);
    EXPECT_EQ(hardware["memorySlots"][0]["sizeKb"], 4 * 1048576);
    std::set<std::string> disks;
    for (const json& disk : hardware["disks"])
        disks.insert(disk["name"].get<std::string>());
    EXPECT_TRUE(disks.count("TOSHIBA MK7559GSXF"));
    EXPECT_TRUE(disks.count("APPLE SSD AP0512Q"));
    bool startUpVolume = false;
    for (const json& volume : hardware["partitions"])
        startUpVolume =
            startUpVolume || (volume["name"] == "/" && volume["sizeBytes"] == 249661751296LL);
    EXPECT_TRUE(startUpVolume);
    ASSERT_EQ(hardware["monitors"].size(), 1u);
    EXPECT_EQ(hardware["monitors"][0]["name"], "Asus GeForce GT 730");
    EXPECT_EQ(hardware["monitors"][0]["width"], 1920);
    // This sample is a mini-level report: without IPv4 details no service is
    // an adapter (why the script asks for the full level).
    EXPECT_TRUE(hardware["nics"].empty());
    EXPECT_GT(inventory.software["applications"].size(), 100u);
}

// A report cut off mid-way (the profiler stopped, or wrote half) is left
// out rather than handed to the agent half-read; the others are kept.
TEST_F(ScriptMacReplay, AReportCutOffIsLeftOut) {
    reports["SPMemoryDataType"] = "cut:" + reports["SPMemoryDataType"];
    reports["SPNVMeDataType"] = "cut:" + reports["SPNVMeDataType"];
    writeProfiler();
    const Inventory inventory = replay("bash --posix");
    EXPECT_FALSE(hasResult("mem.xml"));
    EXPECT_FALSE(hasResult("nvme_disk.xml"));
    EXPECT_TRUE(inventory.hardware["memorySlots"].empty());
    EXPECT_EQ(inventory.hardware["system"]["serialNumber"], "ABCDEFG12345");
}

} // namespace
