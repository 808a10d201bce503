// The system entry: identity from "dmidecode" or "grep_sys_devices", names
// from "hostname" and "domainname", the operating system from "os" and the
// two installation-time files.
#include <gtest/gtest.h>

#include "tests/linux/LinuxTestSupport.h"

namespace {

using namespace linuxtest;

tagWMIINFOSTRUCT systemEntry(const InputFiles& files) {
    const tagWMISTRUCT record = collect(files, &OpenHWManager::loadSysInfo);
    EXPECT_EQ(record.systemInfo.size(), 1u);
    return record.systemInfo.empty() ? tagWMIINFOSTRUCT() : record.systemInfo.front();
}

const std::string kDmidecode = "System Information\n"
                               "\tManufacturer: Dell Inc.\n"
                               "\tProduct Name: PowerEdge R640\n"
                               "\tVersion: Not Specified\n"
                               "\tSerial Number: 8XYZ123\n"
                               "\tUUID: 4c4c4544-0038-5810-8059-b8c04f5a3132\n";

const std::string kSysDevices =
    "/sys/devices/virtual/dmi/id/sys_vendor:LENOVO\n"
    "/sys/devices/virtual/dmi/id/product_name:20HRCTO1WW\n"
    "/sys/devices/virtual/dmi/id/product_serial:PF0ABCDE\n"
    "/sys/devices/virtual/dmi/id/product_uuid:11111111-2222-3333-4444-555555555555\n";

TEST(LinuxSystem, DmidecodeGivesIdentityAndSysDevicesAreNotRead) {
    const tagWMIINFOSTRUCT entry =
        systemEntry({{"dmidecode", kDmidecode}, {"grep_sys_devices", kSysDevices}});
    EXPECT_EQ(entry.manufacturer, "Dell Inc.");
    EXPECT_EQ(entry.model, "PowerEdge R640");
    EXPECT_EQ(entry.serialNumber, "8XYZ123");
    EXPECT_EQ(entry.uuid, "4c4c4544-0038-5810-8059-b8c04f5a3132");
}

TEST(LinuxSystem, SysDevicesReadWhenDmidecodeHasNeitherMakerNorSerial) {
    const tagWMIINFOSTRUCT entry =
        systemEntry({{"dmidecode", "Product Name: Kept Unless Replaced\nUUID: from-dmidecode\n"},
                     {"grep_sys_devices", "/sys/devices/virtual/dmi/id/sys_vendor:LENOVO\n"
                                          "/sys/devices/virtual/dmi/id/product_uuid:from-sys\n"}});
    EXPECT_EQ(entry.manufacturer, "LENOVO");
    EXPECT_EQ(entry.model, "Kept Unless Replaced");
    EXPECT_EQ(entry.serialNumber, "");
    EXPECT_EQ(entry.uuid, "from-sys");
}

TEST(LinuxSystem, SysDevicesAloneGiveIdentity) {
    const tagWMIINFOSTRUCT entry = systemEntry({{"grep_sys_devices", kSysDevices}});
    EXPECT_EQ(entry.manufacturer, "LENOVO");
    EXPECT_EQ(entry.model, "20HRCTO1WW");
    EXPECT_EQ(entry.serialNumber, "PF0ABCDE");
    EXPECT_EQ(entry.uuid, "11111111-2222-3333-4444-555555555555");
}

// Without DMI values: the device tree's model and serial number, the machine
// id as the UUID (in dmidecode's form); DMI's values stay where it has them.
struct StandInCase {
    const char* what;
    InputFiles files;
    std::string model, serial, uuid;
};

void PrintTo(const StandInCase& c, std::ostream* out) { *out << c.what; }

const std::string kDeviceTree =
    "model:Raspberry Pi 4 Model B Rev 1.4\nserial-number:10000000a1b2c3d4\n";

const StandInCase kStandInCases[] = {
    {"MachineIdAsUuid",
     {{"machine_id", "3d1219c7c4c5404aaa1f6d2a48adfda4\n"}},
     "",
     "",
     "3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4"},
    {"MachineIdWithCarriageReturn",
     {{"machine_id", "3d1219c7c4c5404aaa1f6d2a48adfda4\r\n"}},
     "",
     "",
     "3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4"},
    {"MachineIdTooShort", {{"machine_id", "3d1219c7c4c5404aaa1f6d2a48adfda\n"}}, "", "", ""},
    {"MachineIdNotHexadecimal", {{"machine_id", "3d1219c7c4c5404aaa1f6d2a48adfdaz\n"}}, "", "", ""},
    {"DeviceTree",
     {{"devicetree", kDeviceTree}},
     "Raspberry Pi 4 Model B Rev 1.4",
     "10000000a1b2c3d4",
     ""},
    {"DmidecodeWins",
     {{"dmidecode", kDmidecode},
      {"devicetree", kDeviceTree},
      {"machine_id", "3d1219c7c4c5404aaa1f6d2a48adfda4\n"}},
     "PowerEdge R640",
     "8XYZ123",
     "4c4c4544-0038-5810-8059-b8c04f5a3132"},
    {"SysDevicesWin",
     {{"grep_sys_devices", kSysDevices},
      {"devicetree", kDeviceTree},
      {"machine_id", "3d1219c7c4c5404aaa1f6d2a48adfda4\n"}},
     "20HRCTO1WW",
     "PF0ABCDE",
     "11111111-2222-3333-4444-555555555555"},
    {"EachFieldFilledOnItsOwn",
     {{"dmidecode", "System Information\n\tManufacturer: QEMU\n\tProduct Name: Standard PC\n"},
      {"devicetree", kDeviceTree},
      {"machine_id", "3d1219c7c4c5404aaa1f6d2a48adfda4\n"}},
     "Standard PC",
     "10000000a1b2c3d4",
     "3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4"}};

class IdentityStandIns : public ::testing::TestWithParam<StandInCase> {};

TEST_P(IdentityStandIns, FillOnlyWhatDmiLeftEmpty) {
    const tagWMIINFOSTRUCT entry = systemEntry(GetParam().files);
    EXPECT_EQ(entry.model, GetParam().model);
    EXPECT_EQ(entry.serialNumber, GetParam().serial);
    EXPECT_EQ(entry.uuid, GetParam().uuid);
}

INSTANTIATE_TEST_SUITE_P(LinuxSystem, IdentityStandIns, ::testing::ValuesIn(kStandInCases),
                         [](const ::testing::TestParamInfo<StandInCase>& test) {
                             return test.param.what;
                         });

struct NameCase {
    const char* what;
    InputFiles files;
    std::string computerName;
    std::string domainName;
};

const NameCase kNameCases[] = {
    {"QualifiedHostNameSplitAtFirstDot",
     {{"hostname", "web01.tokyo.example.com\n"}, {"domainname", "ignored.example\n"}},
     "web01",
     "tokyo.example.com"},
    {"PlainHostNameTakesDomainFromDomainname",
     {{"hostname", "web01\n"}, {"domainname", "  corp.local  \n"}},
     "web01",
     "corp.local"},
    {"TrailingDotTakesDomainFromDomainname",
     {{"hostname", "web01.\n"}, {"domainname", "(none)\n"}},
     "web01",
     "(none)"},
    {"NoNameFiles", {}, "", ""},
};

class HostNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(HostNames, SplitIntoComputerAndDomain) {
    const tagWMIINFOSTRUCT entry = systemEntry(GetParam().files);
    EXPECT_EQ(entry.computerName, GetParam().computerName);
    EXPECT_EQ(entry.domainName, GetParam().domainName);
}

INSTANTIATE_TEST_SUITE_P(LinuxSystem, HostNames, ::testing::ValuesIn(kNameCases),
                         [](const auto& test) { return std::string(test.param.what); });

TEST(LinuxSystem, NoInputsStillGiveOneEntryDatedAtTheEpoch) {
    const kxtest::LocalZone utc;
    const tagWMIINFOSTRUCT entry = systemEntry({});
    EXPECT_EQ(entry.manufacturer, "");
    EXPECT_EQ(entry.uuid, "");
    EXPECT_EQ(entry.osName, "");
    EXPECT_EQ(entry.osVersion, "");
    EXPECT_EQ(entry.osInstallDate, "19700101000000");
    EXPECT_EQ(entry.sourceFolderName, "");
    EXPECT_EQ(entry.architecture, "");
    EXPECT_EQ(entry.osFlag, "");
}

TEST(LinuxSystem, ArchitectureAndOperatingSystem) {
    const tagWMIINFOSTRUCT entry =
        systemEntry({{"arch", "x86_64\n"}, {"os", "CentOS Linux release 7.6.1810 (Core)\n"}});
    EXPECT_EQ(entry.architecture, "x86_64");
    EXPECT_EQ(entry.osName, "CentOS Linux release 7.6.1810 (Core)");
    EXPECT_EQ(entry.osVersion, "7.6.1810");
}

TEST(LinuxSystem, SourceFolderNamedUnlessResult) {
    for (const char* name : {"result", "snapshot-2024"}) {
        const ResultFolder folder({}, name);
        tagWMISTRUCT record;
        OpenHWManager(folder.path(), record).loadSysInfo(record);
        OpenHWManager(folder.path() + "/", record).loadSysInfo(record);
        const std::string expected = std::string(name) == "result" ? "" : name;
        EXPECT_EQ(record.systemInfo.at(0).sourceFolderName, expected);
        EXPECT_EQ(record.systemInfo.at(1).sourceFolderName, expected) << "with a trailing slash";
    }
}

// Installation time: the earlier of "os_install_1" (seconds) and
// "os_install_2" (local YYYYMMDDhhmmss); absent lines are missing files.
struct InstallCase {
    const char* what;
    InputFiles files;
    std::string installDate;
};

const InstallCase kInstallCases[] = {
    {"SecondsAlone", {{"os_install_1", "1546300800\n"}}, "20190101000000"},
    {"SecondsTrimmed", {{"os_install_1", "  1546300800 \r\n"}}, "20190101000000"},
    {"EarlierLocalDateWins",
     {{"os_install_1", "1600000000\n"}, {"os_install_2", "20180615123000\n"}},
     "20180615123000"},
    {"EarlierSecondsWin",
     {{"os_install_1", "1500000000\n"}, {"os_install_2", "20180615123000\n"}},
     "20170714024000"},
    {"LocalDateAlone", {{"os_install_2", "20180615123000\n"}}, "20180615123000"},
    {"SecondsBeyond64BitsAreNoTime",
     {{"os_install_1", "123456789012345678901\n"}},
     "19700101000000"},
    {"SecondsWithLettersAreNoTime", {{"os_install_1", "15463abc\n"}}, "19700101000000"},
    {"ThirteenDigitDateIsNoTime", {{"os_install_2", "2018061512300\n"}}, "19700101000000"},
    {"DateWithLetterIsNoTime", {{"os_install_2", "2018061512300x\n"}}, "19700101000000"},
    {"MonthThirteenIsNormalised", {{"os_install_2", "20181315000000\n"}}, "20190115000000"},
    {"NeitherFile", {}, "19700101000000"},
    {"SecondsWithoutCalendarFormGiveEmptyText", {{"os_install_1", "99999999999999999\n"}}, ""},
    {"SecondsOfATenDigitYearGiveEmptyText", {{"os_install_1", "40000000000000000\n"}}, ""},
    {"SecondsOfANineDigitYearGiveTheStamp",
     {{"os_install_1", "31000000000000000\n"}},
     "9823528630917070640"},
    {"OverlongDigitLineIsNoTime", {{"os_install_1", std::string(100000, '1')}}, "19700101000000"},
};

class InstallTime : public ::testing::TestWithParam<InstallCase> {};

TEST_P(InstallTime, IsTheEarlierIndication) {
    const kxtest::LocalZone utc;
    tagWMIINFOSTRUCT entry;
    entry.model = "untouched";
    const ResultFolder folder(GetParam().files);
    tagWMISTRUCT record;
    OpenHWManager(folder.path(), record).loadOSInfo(entry);
    EXPECT_EQ(entry.osInstallDate, GetParam().installDate);
    EXPECT_EQ(entry.model, "untouched");
    EXPECT_TRUE(record.systemInfo.empty());
}

INSTANTIATE_TEST_SUITE_P(LinuxSystem, InstallTime, ::testing::ValuesIn(kInstallCases),
                         [](const auto& test) { return std::string(test.param.what); });

} // namespace
