// The software data file, byte for byte, and where the list comes from.

#include <gtest/gtest.h>

#include "tests/inventory/KxBytes.h"
#include "tests/support/Files.h"
#include "tests/support/OpenManagers.h"
#include "tests/support/TempFolder.h"

namespace {

class SoftwareFile : public ::testing::Test {
protected:
    kxtest::TempFolder dir;
    tagWMISTRUCT record;
    kxtest::OpenSWManager manager{(dir / "result").string(), dir.path().string(), record};

    void SetUp() override {
        boost::filesystem::create_directories(dir / "result");
        record.systemInfo.resize(1);
        record.systemInfo[0].computerName = "mac01";
        record.systemInfo[0].uuid = "UUID-1";
        manager.SetVersion("1.0.0.2");
        manager.Header().startTime = 1000;
        manager.Header().endTime = 2000;
    }

    std::string encode() {
        manager.encodeInfo(dir / "out.dat");
        return kxtest::readFile(dir / "out.dat");
    }

    static KxBytes softwareHeader() {
        KxBytes b;
        b.text("KX20")
            .u32(10004)
            .u32(0)
            .text("mac01")
            .u32(1)
            .text("1.0.0.2")
            .u32(1)
            .u32(1000)
            .u32(2000)
            .u32(1)
            .text("UUID-1");
        return b;
    }
};

TEST_F(SoftwareFile, ListFilledDirectly) {
    tagAPPLIDATASTRUCT safari;
    safari.installTime = 1500000000;
    safari.name = "Safari";
    safari.version = "16.5";
    tagAPPLIDATASTRUCT japanese;
    japanese.installTime = 0x100000005LL;                   // beyond 32 bits
    japanese.name = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"; // テスト
    japanese.reservedText1 = "r1";
    japanese.reservedText2 = "r2";
    japanese.reservedNumber = -2;
    manager.List() = {safari, japanese, safari};
    const std::string expected = softwareHeader()
                                     .count(3)
                                     .u32(1500000000)
                                     .text("Safari")
                                     .texts(1)
                                     .text("16.5")
                                     .texts(1)
                                     .u32(0)
                                     .u32(5)
                                     .text("\x83\x65\x83\x58\x83\x67")
                                     .text("r1")
                                     .texts(1)
                                     .text("r2")
                                     .u32(0xFFFFFFFE)
                                     .u32(1500000000)
                                     .text("Safari")
                                     .texts(1)
                                     .text("16.5")
                                     .texts(1)
                                     .u32(0)
                                     .u32(0)
                                     .trailer()
                                     .bytes;
    EXPECT_EQ(hex(encode()), hex(expected));
}

TEST_F(SoftwareFile, EmptyList) {
    EXPECT_EQ(hex(encode()), hex(softwareHeader().count(0).u32(0).trailer().bytes));
}

TEST_F(SoftwareFile, NoSystemInfoThrows) {
    record.systemInfo.clear();
    EXPECT_THROW(encode(), std::out_of_range);
}

TEST_F(SoftwareFile, WithoutAppTheListIsEmptyAndTheTimesAreSet) {
    kxtest::writeFile(dir / "result" / "app_install", "2019-03-04 05:06:07 install bash\n");
    kxtest::writeFile(dir / "result" / "hardware.xml", "");
    manager.List() = {tagAPPLIDATASTRUCT{}};
    const std::time_t before = std::time(nullptr);
    manager.load();
    EXPECT_TRUE(manager.Applications().empty());
    EXPECT_GE(manager.Header().startTime, before);
    EXPECT_GE(manager.Header().endTime, manager.Header().startTime);
    EXPECT_LE(manager.Header().endTime, std::time(nullptr));
}

// Which reader runs, told by what it makes of one and the same "app" line:
// the other Linux hosts read the time from it, Ubuntu looks the key up in
// "app_install", and the Mac reader finds no property list.
struct SourceCase {
    const char* what;
    std::vector<std::string> files; // besides nothing else in the source folder
    std::vector<std::pair<std::string, std::time_t>> expected;
};
void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.what; }
class SoftwareSource : public SoftwareFile, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(SoftwareSource, AppDecidesAndTheMarkersChooseTheReader) {
    for (const std::string& name : GetParam().files)
        kxtest::writeFile(dir / "result" / name, name == "app" ? "pkg 1.0 1500000000\n" : "");
    manager.load();
    std::vector<std::pair<std::string, std::time_t>> got;
    for (const tagAPPLIDATASTRUCT& a : manager.Applications())
        got.emplace_back(a.name, a.installTime);
    EXPECT_EQ(got, GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Sources, SoftwareSource,
    ::testing::Values(SourceCase{"nothing", {}, {}},
                      SourceCase{"app alone: other Linux", {"app"}, {{"pkg", 1500000000}}},
                      SourceCase{"with app_install: Ubuntu", {"app", "app_install"}, {{"pkg", 0}}},
                      SourceCase{
                          "with hardware.xml: macOS", {"app", "app_install", "hardware.xml"}, {}},
                      SourceCase{"markers without app", {"app_install", "hardware.xml"}, {}}));

TEST_F(SoftwareFile, KindNumberIsOne) { EXPECT_EQ(manager.kxFileNumber(), 1u); }

} // namespace
