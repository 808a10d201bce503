// Both managers on a complete macOS "result" folder, as the agent runs them:
// the data files decoded hold what the Mac reported, and the same folder with
// every property list in binary form gives the same bytes.

#include <cstdlib>

#include "tests/mac/Describe.h"
#include "tools/kxdump/KxReader.h"
#include "tests/mac/MacTestSupport.h"
#include "common/utils.h"

using namespace mactest;
using json = nlohmann::ordered_json;

namespace {

// The inputs of one Mac, from real outputs; "nics" is written here because
// the real network report carries no addresses.
const std::pair<const char*, const char*> kSamples[] = {
    {"hardware.xml", "hardware/grr-2024-M1Pro-MacBookPro18-3-SPHardwareDataType.xml"},
    {"os", "sw_vers/facter-13.3.1-RSR-ProductVersionExtra-sw_vers.txt"},
    {"mem.xml", "memory/ohai-10.7.5-MacBookPro8-2-SPMemoryDataType-mini.xml"},
    {"physical_disk.xml", "sata/glpi-2017-AppleSSD-SD0128F-SPSerialATADataType.xml"},
    {"nvme_disk.xml", "nvme/glpi-AppleSilicon-APPLE-SSD-AP0512Q-SPNVMeDataType.xml"},
    {"pata_disk.xml", "pata/ohai-10.7.5-MacBookPro8-2-SPParallelATADataType-mini-empty.xml"},
    {"logical_disk.xml", "storage/ohai-2016-MacBookPro11-1-SPStorageDataType-corestorage.xml"},
    {"video", "displays/glpi-10.14-Intel530-RadeonPro450-SPDisplaysDataType.txt"},
    {"app", "applications/glpi-macOS14-AppleSilicon-fr-SPApplicationsDataType.xml"},
};
const char* const kPropertyLists[] = {"hardware.xml",
                                      "mem.xml",
                                      "physical_disk.xml",
                                      "nvme_disk.xml",
                                      "pata_disk.xml",
                                      "logical_disk.xml",
                                      "nics",
                                      "app"};

std::string networkReport() {
    return report({
        dict({entry("_name", str("Wi-Fi")), entry("type", str("AirPort")),
              entry("IPv4",
                    dict({entry("ConfigMethod", str("DHCP")), entry("InterfaceName", str("en0")),
                          entry("Router", str("10.0.0.1")),
                          entry("Addresses", array({str("10.0.0.23")})),
                          entry("SubnetMasks", array({str("255.255.255.0")}))})),
              entry("dhcp", dict({entry("dhcp_server_identifier", str("10.0.0.1")),
                                  entry("dhcp_subnet_mask", str("255.255.255.0"))})),
              entry("Ethernet", dict({entry("MAC Address", str("f0:18:98:00:00:01"))})),
              entry("DNS",
                    dict({entry("ServerAddresses", array({str("10.0.0.1"), str("1.1.1.1")}))}))}),
        dict({entry("_name", str("Thunderbolt Bridge")), entry("type", str("Bridge"))}),
    });
}

struct DataFiles {
    std::string hardware;
    std::string software;
};

// The agent's collection: hardware first (it fills the record the software header reads);
// Acrobat's tag files are looked for in `adobeTags`.
DataFiles collect(const fs::path& source, const fs::path& destination, const fs::path& adobeTags) {
    tagWMISTRUCT record;
    CHWInfoManager hardware(source.string(), destination.string(), record);
    hardware.SetVersion("1.0.0.2");
    hardware.start();
    CSWInfoManager software(source.string(), destination.string(), record, adobeTags.string());
    software.SetVersion("1.0.0.2");
    software.start();
    return {readFile(hardware.OutFileName()), readFile(software.OutFileName())};
}

// The data file with its two header time stamps set to 0; they follow the
// magic, format version, reserved number, computer name, kind, agent version
// and category code.
std::string withoutTimes(std::string bytes) {
    const size_t nameLength = static_cast<unsigned char>(bytes.at(13));
    const size_t versionLength = static_cast<unsigned char>(bytes.at(13 + 1 + nameLength + 4));
    const size_t times = 13 + 1 + nameLength + 4 + 1 + versionLength + 4;
    return bytes.replace(times, 8, std::string(8, '\0'));
}

template <typename Format>
Lines lines(const json& list, Format format) {
    Lines result;
    for (const json& e : list)
        result.push_back(format(e));
    return result;
}
std::string text(const json& value) { return value.get<std::string>(); }
std::string number(const json& value) { return std::to_string(value.get<long long>()); }

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& sample : kSamples)
            REQUIRE_SAMPLE(macSample(sample.second));
        for (const auto& sample : kSamples)
            fs::copy_file(macSample(sample.second), source / sample.first);
        writeFile(source / "hostname", "mac01.example.com\n");
        writeFile(source / "nics", networkReport());
    }

    TempFolder temp;
    fs::path source = temp.folder("xml/result");
    fs::path destination = temp.folder("out");
    fs::path noTags = temp.path() / "no-adobe-tags";
};

TEST_F(EndToEnd, DataFilesHoldWhatTheMacReported) {
    const DataFiles files = collect(source, destination, noTags);
    const json hardware = kx::readDataFile(files.hardware);
    const json software = kx::readDataFile(files.software);

    for (const json* file : {&hardware, &software}) {
        EXPECT_EQ((*file)["header"]["computerName"], "mac01");
        EXPECT_EQ((*file)["header"]["machineUuid"], "48F1516D-23AB-4242-BB81-6F32D193D3F2");
        EXPECT_EQ((*file)["header"]["agentVersion"], "1.0.0.2");
    }
    EXPECT_EQ(hardware["kind"], "hardware");
    EXPECT_EQ(hardware["system"],
              json::parse(R"({"computerName": "mac01", "manufacturer": "Apple Inc.",
        "model": "MacBook Pro", "serialNumber": "XY42EDVYNN", "uuid": "48F1516D-23AB-4242-BB81-6F32D193D3F2"})"));
    EXPECT_EQ(lines(hardware["cpus"],
                    [](const json& e) {
                        return text(e["name"]) + " | " + number(e["clockMhz"]) + " | " +
                               number(e["cores"]);
                    }),
              Lines{"Apple M1 Pro | 0 | 8"});
    EXPECT_EQ(lines(hardware["memorySlots"],
                    [](const json& e) { return text(e["name"]) + " | " + number(e["sizeKb"]); }),
              (Lines{"BANK 0/DIMM0 | 4194304", "BANK 1/DIMM0 | 4194304"}));
    EXPECT_EQ(
        lines(hardware["disks"],
              [](const json& e) {
                  return text(e["name"]) + " | " + number(e["sizeBytes"]) + " | " +
                         number(e["partitionCount"]);
              }),
        (Lines{"APPLE SSD SD0128F | 121332826112 | 3", "APPLE SSD AP0512Q | 500277792768 | 3"}));
    EXPECT_EQ(lines(hardware["partitions"],
                    [](const json& e) {
                        return text(e["name"]) + " | " + number(e["sizeBytes"]) + " | " +
                               number(e["freeBytes"]) + " | " + number(e["driveType"]);
                    }),
              Lines{"/ | 249661751296 | 23864803328 | 3"});
    EXPECT_TRUE(hardware["cdDrives"].empty());
    EXPECT_EQ(lines(hardware["monitors"],
                    [](const json& e) {
                        return text(e["name"]) + " | " + number(e["vramKb"]) + " | " +
                               number(e["width"]) + "x" + number(e["height"]) + " | " +
                               number(e["colorDepth"]);
                    }),
              (Lines{"Intel HD Graphics 530 | 1572864 | 2880x1800 | 24",
                     "AMD Radeon Pro 450 | 2097152 | 0x0 | 0"}));
    EXPECT_EQ(lines(hardware["nics"],
                    [](const json& e) {
                        std::string line = number(e["adapterState"]);
                        for (const char* field :
                             {"description", "macAddress", "ipAddress", "subnetMask",
                              "defaultGateway", "dhcpServer", "dnsServer1", "dnsServer2"})
                            line += " | " + text(e[field]);
                        return line + " | " + number(e["dhcpEnabled"]) + " | " +
                               number(e["wireless"]);
                    }),
              Lines{"1 | Wi-Fi (en0) | f0:18:98:00:00:01 | 10.0.0.23 | 255.255.255.0 | 10.0.0.1 | "
                    "10.0.0.1 | "
                    "10.0.0.1 | 1.1.1.1 | 1 | 1"});
    EXPECT_EQ(hardware["operatingSystem"]["osName"], "macOS");
    EXPECT_EQ(hardware["operatingSystem"]["osVersion"], "13.3.1");
    EXPECT_EQ(hardware["operatingSystem"]["domainName"], "example.com");
    EXPECT_EQ(hardware["operatingSystem"]["sourceFolderName"], "");
    EXPECT_EQ(hardware["operatingSystem"]["osInstallDate"], "");

    EXPECT_EQ(software["kind"], "software");
    const json& applications = software["applications"];
    ASSERT_EQ(applications.size(), 362u);
    const auto application = [&](size_t i) {
        const json& e = applications.at(i);
        return number(e["installTime"]) + " | " + text(e["name"]) + " | " + text(e["version"]) +
               " | " + text(e["reservedText1"]) + text(e["reservedText2"]) +
               number(e["reservedNumber"]);
    };
    EXPECT_EQ(application(1), "1711001603 | Finder | 14.4 | 0");
    EXPECT_EQ(application(180), "1711001603 | ShortcutsActions |  | 0");
    EXPECT_EQ(application(284), "1713183835 | Adobe Acrobat Reader | 24.002.20687 | 0");
    EXPECT_EQ(application(361), "1711579390 | Microsoft Defender | 101.24010.0017 | 0");
}

TEST_F(EndToEnd, BinaryPropertyListsGiveTheSameDataFiles) {
    const fs::path binary = temp.folder("binary/result");
    std::string convert = "python3 -c 'import plistlib, sys\n"
                          "for src, dst in zip(sys.argv[1::2], sys.argv[2::2]):\n"
                          "    plistlib.dump(plistlib.load(open(src, \"rb\")), open(dst, \"wb\"), "
                          "fmt=plistlib.FMT_BINARY)'";
    for (const char* name : kPropertyLists)
        convert += " '" + (source / name).string() + "' '" + (binary / name).string() + "'";
    if (std::system("python3 -c 'import plistlib' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3 with plistlib is needed to write binary property lists";
    ASSERT_EQ(std::system(convert.c_str()), 0);
    for (const char* name : {"hostname", "os", "video"})
        fs::copy_file(source / name, binary / name);
    ASSERT_EQ(readFile(binary / "app").compare(0, 8, "bplist00"), 0);

    const DataFiles fromXml = collect(source, temp.folder("out-xml"), noTags);
    const DataFiles fromBinary = collect(binary, temp.folder("out-binary"), noTags);
    EXPECT_GT(fromXml.software.size(), 10000u);
    EXPECT_EQ(withoutTimes(fromXml.hardware), withoutTimes(fromBinary.hardware));
    EXPECT_EQ(withoutTimes(fromXml.software), withoutTimes(fromBinary.software));
}

TEST_F(EndToEnd, AcrobatEditionAndNamesOutsideShiftJisInTheSoftwareFile) {
    const std::string kichida = "\xF0\xA0\xAE\xB7\xE7\x94\xB0"; // 𠮷田: 𠮷 has no Shift_JIS form
    writeFile(
        source / "app",
        report({dict({entry("_name", str("Adobe Acrobat")), entry("version", str("24.1"))}),
                dict({entry("_name", str(kichida)), entry("version", str("1.0"))}),
                dict({entry("_name", str("\xE8\xA8\x88\xE7\xAE\x97\xE6\xA9\x9F"))})})); // 計算機
    const fs::path tags = temp.folder("tags");
    writeFile(
        tags / "regid.1986-12.com.adobe_V7{}AcrobatESR-12-Mac-GM-en_US.swidtag",
        "<swid:software_identification_tag><swid:serial_number>970799999999</swid:serial_number>"
        "</swid:software_identification_tag>");

    const json software = kx::readDataFile(collect(source, destination, tags).software);
    const json& applications = software["applications"];
    ASSERT_EQ(applications.size(), 3u);
    EXPECT_EQ(applications[0]["name"], "Adobe Acrobat Pro");
    EXPECT_EQ(applications[1]["name"], kx::sjisToUtf8(wmi::UTF8toSJIS(kichida)));
    EXPECT_EQ(applications[2]["name"], "\xE8\xA8\x88\xE7\xAE\x97\xE6\xA9\x9F");
}

} // namespace
