// The memory modules.
#include "tests/mac/Describe.h"
#include "tests/mac/MacTestSupport.h"

using namespace mactest;

namespace {

class Memory : public ::testing::Test {
protected:
    Lines load(const std::string& content) {
        writeFile(source / "mem.xml", content);
        tagWMISTRUCT record;
        hw.loadMemInfo_mac(record);
        return describe(record.memorySlots);
    }

    TempFolder temp;
    fs::path source = temp.folder("result");
    tagWMISTRUCT unused;
    OpenHWManager hw{source.string(), temp.path().string(), unused};
};

std::string module(const std::string& name, const std::string& size) {
    return dict({entry("_name", str(name)), entry("dimm_size", str(size)),
                 entry("dimm_type", str("DDR3"))});
}

TEST_F(Memory, RealIntelReportGivesEveryModule) {
    const fs::path sample = macSample("memory/ohai-10.7.5-MacBookPro8-2-SPMemoryDataType-mini.xml");
    REQUIRE_SAMPLE(sample);
    EXPECT_EQ(load(readFile(sample)),
              (Lines{"BANK 0/DIMM0 | 4194304 KB", "BANK 1/DIMM0 | 4194304 KB"}));
}

TEST_F(Memory, ModuleSizeByUnit) {
    const std::string banks =
        report({dict({entry("_name", str("global_name")),
                      entry("_items", array({module("DIMM0", "8 GB"), module("DIMM1", "512 MB"),
                                             module("DIMM2", "empty"), module("DIMM3", "4096"),
                                             dict({entry("_name", str("DIMM4"))})}))})});
    EXPECT_EQ(load(banks), (Lines{"DIMM0 | 8388608 KB", "DIMM1 | 524288 KB", "DIMM2 | 0 KB",
                                  "DIMM3 | 0 KB", "DIMM4 | 0 KB"}));
}

TEST_F(Memory, EveryModuleOfEveryBankAlsoWithoutName) {
    const std::string banks = report({
        dict({entry("_items", array({module("A", "2 GB"), str("not a module"),
                                     dict({entry("dimm_size", str("1 GB"))})}))}),
        str("not a bank"),
        dict({entry("_name", str("bank without modules"))}),
        dict({entry("_items", array({module("B", "2 GB")}))}),
    });
    EXPECT_EQ(load(banks), (Lines{"A | 2097152 KB", " | 1048576 KB", "B | 2097152 KB"}));
}

TEST_F(Memory, AppleSiliconUnifiedMemoryIsOneModule) {
    const std::string unified =
        report({dict({entry("SPMemoryDataType", str("16 GB")), entry("dimm_type", str("LPDDR5")),
                      entry("dimm_manufacturer", str("Hynix"))})});
    EXPECT_EQ(load(unified), Lines{"LPDDR5 | 16777216 KB"});
}

TEST_F(Memory, MissingOrUnreadableReportAddsNothing) {
    tagWMISTRUCT record;
    hw.loadMemInfo_mac(record);
    EXPECT_TRUE(record.memorySlots.empty());
    EXPECT_TRUE(load("<plist><array><dict>").empty());
    EXPECT_TRUE(load(plist(dict({}))).empty());
    EXPECT_TRUE(load(plist(array({str("x")}))).empty());
}

} // namespace
