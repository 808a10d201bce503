// The hardware data file, byte for byte.

#include <gtest/gtest.h>

#include "tests/inventory/KxBytes.h"
#include "tools/kxdump/KxReader.h"
#include "tests/inventory/KxRecords.h"
#include "tests/support/Files.h"
#include "tests/support/OpenManagers.h"
#include "tests/support/TempFolder.h"

namespace {

// The header the hardware manager writes for mac01 with both times set to the given values.
KxBytes hardwareHeader(uint32_t version = 10012) {
    KxBytes b;
    b.text("KX20")
        .u32(version)
        .u32(0)
        .text("mac01")
        .u32(12)
        .text("1.0.0.2")
        .u32(5)
        .u32(1000)
        .u32(2000)
        .u32(1)
        .text("UUID-1");
    return b;
}

class HardwareFile : public ::testing::Test {
protected:
    kxtest::TempFolder dir;
    tagWMISTRUCT record;

    std::string encode(uint32_t version = 10012) {
        kxtest::OpenHWManager manager((dir / "result").string(), dir.path().string(), record);
        manager.SetVersion("1.0.0.2");
        manager.Header().startTime = 1000;
        manager.Header().endTime = 2000;
        const auto file = dir / "out.dat";
        if (version == 10012)
            manager.encodeInfo(file);
        else
            manager.encodeWithVersion(file, version);
        return kxtest::readFile(file);
    }
};

TEST_F(HardwareFile, RecordWithEveryListFilled) {
    record = fullRecord();
    KxBytes expected = hardwareHeader();
    expected.text("mac01")
        .text("Apple Inc.")
        .text("\x83\x65\x83\x58\x83\x67")
        .text("C02XYZ")
        .text("UUID-1")
        .count(2)
        .text("Intel Core i7")
        .u32(2600)
        .u32(6)
        .text("Second package")
        .u32(1000)
        .u32(2)
        .count(2)
        .text("DIMM0")
        .u32(8388608)
        .text("DIMM1")
        .u32(4194304)
        .count(1)
        .text("disk0")
        .i64(500107862016LL)
        .u32(0)
        .u32(2)
        .text("d1")
        .text("d2")
        .text("APPLE")
        .u32(0)
        .count(2)
        .text("/")
        .i64(499963174912LL)
        .i64(123456789012LL)
        .u32(3)
        .u32(0xFFFFFFFF)
        .text("/Volumes/Data")
        .i64(1000)
        .i64(10)
        .u32(3)
        .u32(0xFFFFFFFF)
        .count(1)
        .text("DVD")
        .text("/dev/sr0")
        .count(1)
        .text("Intel UHD Graphics 630")
        .u32(1536 * 1024)
        .u32(2560)
        .u32(1440)
        .u32(32)
        .count(2)
        .u32(1)
        .text("Ethernet")
        .text("AA:BB:CC:DD:EE:FF")
        .text("192.168.1.10")
        .text("255.255.255.0")
        .text("192.168.1.1")
        .text("192.168.1.1")
        .text("8.8.8.8")
        .text("8.8.4.4")
        .u32(1)
        .u32(0)
        .u32(1)
        .text("Wi-Fi")
        .text("11:22:33:44:55:66")
        .texts(6)
        .u32(0)
        .u32(1)
        .count(1)
        .text("p1")
        .text("p2")
        .text("p3")
        .text("p4")
        .u32(0)
        .text("macOS")
        .text("t4")
        .text("t5")
        .text("t6")
        .text("t7")
        .text("20190304050607")
        .text("0")
        .text("collected")
        .text("example.com")
        .text("x86_64")
        .text("13.4")
        .texts(2)
        .u32(0)
        .count(1)
        .text("admin")
        .u32(500)
        .u32(0)
        .u32(0)
        .trailer();
    EXPECT_EQ(hex(encode()), hex(expected.bytes));
}

TEST_F(HardwareFile, RecordWithOnlySystemInfo) {
    record.systemInfo = {tagWMIINFOSTRUCT{}};
    record.systemInfo[0].computerName = "mac01";
    record.systemInfo[0].uuid = "UUID-1";
    KxBytes expected = hardwareHeader();
    expected.text("mac01")
        .texts(3)
        .text("UUID-1") // A
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0) // B to I
        .texts(6)
        .text("1")
        .texts(6)
        .u32(0) // J: 13 texts, the flag "1", stamp
        .u32(0) // K
        .u32(0)
        .u32(0) // L
        .trailer();
    EXPECT_EQ(hex(encode()), hex(expected.bytes));
}

TEST_F(HardwareFile, NoSystemInfoWritesNothingAndThrows) {
    EXPECT_THROW(encode(), std::out_of_range);
    EXPECT_EQ(kxtest::readFile(dir / "out.dat"), "");
}

// Which optional fields a file body carries, by formatVersion.
struct VersionCase {
    uint32_t version;
    bool diskDetails;   // disk first word + stamp, printer stamp
    bool secondClosing; // second count of section L
    bool wireless;
};
void PrintTo(const VersionCase& c, std::ostream* os) { *os << "version " << c.version; }
class HardwareFileVersion : public HardwareFile,
                            public ::testing::WithParamInterface<VersionCase> {};

TEST_P(HardwareFileVersion, OptionalFieldsFollowTheFormatVersion) {
    const VersionCase c = GetParam();
    record.systemInfo = {mac01()};
    record.systemInfo[0].model = "M";
    record.disks = {tagWMIDISKSTRUCT{"disk0", 10, 0, 1, "", "", "APPLE SSD", 0}};
    record.nics = {tagWMINICSTRUCT{1, "en0", "", "", "", "", "", "", "", 1, 1}};
    record.printers = {tagWMIPRTSTRUCT{"p", "", "", "", 0}};
    KxBytes e = hardwareHeader(c.version);
    e.text("mac01").text("Apple Inc.").text("M").text("C02XYZ").text("UUID-1").count(0).count(0);
    e.count(1).text("disk0").i64(10).u32(0).u32(1).texts(2);
    if (c.diskDetails)
        e.text("APPLE").u32(0);
    e.count(0).count(0).count(0);
    e.count(1).u32(1).text("en0").texts(7).u32(1);
    if (c.wireless)
        e.u32(1);
    e.count(1).text("p").texts(3);
    if (c.diskDetails)
        e.u32(0);
    e.text("macOS")
        .text("t4")
        .text("t5")
        .text("t6")
        .text("t7")
        .text("20190304050607")
        .text("0")
        .text("collected")
        .text("example.com")
        .text("x86_64")
        .text("13.4")
        .texts(2)
        .u32(0);
    e.count(0).u32(0);
    if (c.secondClosing)
        e.u32(0);
    e.trailer();
    EXPECT_EQ(hex(encode(c.version)), hex(e.bytes));
}
INSTANTIATE_TEST_SUITE_P(Versions, HardwareFileVersion,
                         ::testing::Values(VersionCase{10008, false, false, false},
                                           VersionCase{10009, true, false, false},
                                           VersionCase{10010, true, false, false},
                                           VersionCase{10011, true, true, false},
                                           VersionCase{10012, true, true, true}));

// Text lengths after conversion, in the first body field.
class HardwareFileTextLength : public HardwareFile, public ::testing::WithParamInterface<size_t> {};

TEST_P(HardwareFileTextLength, ComputerNameKeepsItsLengthPrefixAndCut) {
    const size_t length = GetParam();
    record.systemInfo = {tagWMIINFOSTRUCT{}};
    record.systemInfo[0].computerName = std::string(length, 'n');
    const std::string written(std::min<size_t>(length, 4094), 'n');
    KxBytes e;
    e.text("KX20")
        .u32(10012)
        .u32(0)
        .text(written)
        .u32(12)
        .text("1.0.0.2")
        .u32(5)
        .u32(1000)
        .u32(2000)
        .u32(1)
        .texts(1);
    e.text(written)
        .texts(4)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .texts(6)
        .text("1")
        .texts(6)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .trailer();
    EXPECT_EQ(hex(encode()), hex(e.bytes));
}
INSTANTIATE_TEST_SUITE_P(Lengths, HardwareFileTextLength,
                         ::testing::Values(0, 254, 255, 4094, 5000));

struct TextRuleCase {
    std::string in;
    std::string out;
};
void PrintTo(const TextRuleCase& c, std::ostream* os) {
    *os << '"';
    for (char ch : c.in)
        *os << (ch == '\t' ? std::string("\\t") : std::string(1, ch));
    *os << '"';
}

class DiskFirstWord : public HardwareFile, public ::testing::WithParamInterface<TextRuleCase> {};
TEST_P(DiskFirstWord, IsTheTextBeforeTheFirstBlank) {
    record.systemInfo = {mac01()};
    record.disks.resize(1);
    record.disks[0].diskText3 = GetParam().in;
    encode();
    const auto file = kx::readDataFile(kxtest::readFile(dir / "out.dat"));
    EXPECT_EQ(file["disks"][0]["diskText3"], GetParam().out);
    EXPECT_EQ(file["disks"][0]["stamp"], 0);
}
INSTANTIATE_TEST_SUITE_P(Disks, DiskFirstWord,
                         ::testing::Values(TextRuleCase{"", ""},
                                           TextRuleCase{"APPLE SSD AP0512", "APPLE"},
                                           TextRuleCase{"single", "single"},
                                           TextRuleCase{" leading", ""},
                                           TextRuleCase{"tab\tinside", "tab\tinside"}));

class OsFlag : public HardwareFile, public ::testing::WithParamInterface<TextRuleCase> {};
TEST_P(OsFlag, IsZeroOnlyForExactlyZero) {
    record.systemInfo = {mac01()};
    record.systemInfo[0].osFlag = GetParam().in;
    encode();
    EXPECT_EQ(kx::readDataFile(kxtest::readFile(dir / "out.dat"))["operatingSystem"]["osFlag"],
              GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Flags, OsFlag,
                         ::testing::Values(TextRuleCase{"0", "0"}, TextRuleCase{"", "1"},
                                           TextRuleCase{"1", "1"}, TextRuleCase{"00", "1"},
                                           TextRuleCase{" 0", "1"}, TextRuleCase{"yes", "1"}));

TEST_F(HardwareFile, UnwritableFileIsAnError) {
    record.systemInfo = {mac01()};
    kxtest::OpenHWManager manager("result", dir.path().string(), record);
    if (!boost::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    EXPECT_THROW(manager.encodeInfo("/dev/full"), boost::filesystem::filesystem_error);
}

} // namespace

namespace {

// "hardware.xml" in the source folder, of whatever type, means a Mac: an
// empty report there gives no system entry, while the Linux collectors
// always record the machine (here with the name from "hostname").
struct PlatformCase {
    const char* what;
    bool macMarker;
    bool markerIsFolder;
    size_t systemEntries;
};
void PrintTo(const PlatformCase& c, std::ostream* os) { *os << c.what; }
class HardwarePlatform : public ::testing::TestWithParam<PlatformCase> {};

TEST_P(HardwarePlatform, HardwareXmlChoosesTheMacCollectors) {
    kxtest::TempFolder dir;
    const auto source = dir / "result";
    boost::filesystem::create_directories(source);
    kxtest::writeFile(source / "hostname", "linuxhost.example.com\n");
    if (GetParam().macMarker) {
        if (GetParam().markerIsFolder)
            boost::filesystem::create_directories(source / "hardware.xml");
        else
            kxtest::writeFile(source / "hardware.xml", "");
    }
    tagWMISTRUCT record;
    kxtest::OpenHWManager manager(source.string(), dir.path().string(), record);
    const std::time_t before = std::time(nullptr);
    manager.load();
    ASSERT_EQ(record.systemInfo.size(), GetParam().systemEntries);
    if (!record.systemInfo.empty()) {
        EXPECT_EQ(record.systemInfo[0].computerName, "linuxhost");
    }
    EXPECT_GE(manager.Header().startTime, before);
    EXPECT_GE(manager.Header().endTime, manager.Header().startTime);
    EXPECT_EQ(manager.kxFileNumber(), 12u);
}
INSTANTIATE_TEST_SUITE_P(Platforms, HardwarePlatform,
                         ::testing::Values(PlatformCase{"Linux", false, false, 1},
                                           PlatformCase{"macOS", true, false, 0},
                                           PlatformCase{"macOS marker folder", true, true, 0}));

} // namespace
