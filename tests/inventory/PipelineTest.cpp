// The pipeline: collect, encode into a temporary file, name, deliver.

#include <cstdlib>
#include <regex>

#include <gtest/gtest.h>

#include "tests/inventory/KxBytes.h"
#include "tools/kxdump/KxReader.h"
#include "tests/support/Files.h"
#include "tests/support/OpenManagers.h"
#include "tests/support/TempDirVariable.h"
#include "tests/support/TempFolder.h"

namespace fs = boost::filesystem;

namespace {

// A manager whose steps the test steers; it remembers the temporary path.
class FakeManager : public CBaseInfoManager {
public:
    FakeManager(const std::string& destination, tagWMISTRUCT& shared, uint32_t fileKind)
        : CBaseInfoManager("result", destination, shared), kind(fileKind) {}

    fs::path temp;
    bool failAfterWriting = false;
    std::string fixedName; // instead of the time-stamped name

protected:
    void load() override {}
    void encodeInfo(const fs::path& file) override {
        temp = file;
        kxtest::writeFile(file, "content");
        if (failAfterWriting)
            throw std::runtime_error("encoding failed");
    }
    std::string targetFileName() override {
        return fixedName.empty() ? CBaseInfoManager::targetFileName() : fixedName;
    }
    uint32_t kxFileNumber() override { return kind; }

private:
    uint32_t kind;
};

// Every test gets its own system temporary folder, so nothing left there goes unseen.
class Pipeline : public ::testing::Test {
protected:
    kxtest::TempFolder dir;
    fs::path tmp = dir / "tmp";
    fs::path dest = dir / "log";
    kxtest::TempDirVariable tmpdir{tmp};
    tagWMISTRUCT record;

    void SetUp() override {
        fs::create_directories(tmp);
        fs::create_directories(dest);
    }
    bool tmpIsEmpty() const { return fs::is_empty(tmp); }
};

struct NameCase {
    uint32_t kind;
    const char* pattern;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << "kind " << c.kind; }
class PipelineName : public Pipeline, public ::testing::WithParamInterface<NameCase> {};

TEST_P(PipelineName, DeliversTheBytesUnderTheKindAndTimeStampName) {
    FakeManager manager(dest.string(), record, GetParam().kind);
    EXPECT_EQ(manager.OutFileName(), "");
    manager.start();
    const fs::path out(manager.OutFileName());
    EXPECT_EQ(out.parent_path(), dest);
    EXPECT_TRUE(std::regex_match(out.filename().string(), std::regex(GetParam().pattern)))
        << out.filename();
    EXPECT_EQ(kxtest::readFile(out), "content");
    EXPECT_EQ(manager.temp.parent_path(), tmp);
    EXPECT_TRUE(std::regex_match(manager.temp.filename().string(),
                                 std::regex("[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}")))
        << manager.temp;
    EXPECT_TRUE(tmpIsEmpty());
}
INSTANTIATE_TEST_SUITE_P(Kinds, PipelineName,
                         ::testing::Values(NameCase{12, "KX-0-12[0-9]{14}\\.dat"},
                                           NameCase{1, "KX-0-01[0-9]{14}\\.dat"},
                                           NameCase{123, "KX-0-123[0-9]{14}\\.dat"}));

TEST_F(Pipeline, FailedEncodingRemovesTheTemporaryFile) {
    FakeManager manager(dest.string(), record, 12);
    manager.failAfterWriting = true;
    EXPECT_THROW(manager.start(), std::runtime_error);
    EXPECT_TRUE(tmpIsEmpty());
    EXPECT_TRUE(fs::is_empty(dest));
    EXPECT_EQ(manager.OutFileName(), "");
}

TEST_F(Pipeline, FailedDeliveryNamesTheTargetAndRemovesTheTemporaryFile) {
    FakeManager manager((dir / "missing").string(), record, 12);
    EXPECT_THROW(manager.start(), fs::filesystem_error);
    EXPECT_TRUE(tmpIsEmpty());
    EXPECT_EQ(fs::path(manager.OutFileName()).parent_path(), dir / "missing");
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(Pipeline, ExistingTargetIsNeitherReplacedNorRemoved) {
    kxtest::writeFile(dest / "KX-0-12.dat", "earlier");
    FakeManager manager(dest.string(), record, 12);
    manager.fixedName = "KX-0-12.dat";
    EXPECT_THROW(manager.start(), fs::filesystem_error);
    EXPECT_EQ(kxtest::readFile(dest / "KX-0-12.dat"), "earlier");
    EXPECT_TRUE(tmpIsEmpty());
}

// A Mac whose hardware report names no hardware UUID gives no system entry.
TEST_F(Pipeline, HardwareManagerWithoutSystemInfoLeavesNothingBehind) {
    const fs::path source = dir / "result";
    fs::create_directories(source);
    kxtest::writeFile(source / "hardware.xml", "");
    kxtest::OpenHWManager manager(source.string(), dest.string(), record);
    EXPECT_THROW(manager.start(), std::out_of_range);
    EXPECT_TRUE(tmpIsEmpty());
    EXPECT_TRUE(fs::is_empty(dest));
    EXPECT_EQ(manager.OutFileName(), "");
}

TEST_F(Pipeline, HardwareThenSoftwareFileShareHostAndUuid) {
    const fs::path source = dir / "result";
    fs::create_directories(source);
    record.systemInfo.resize(1);
    record.systemInfo[0].computerName = "host1";
    record.systemInfo[0].uuid = "UUID-9";
    kxtest::OpenHWManager hardware(source.string(), dest.string(), record);
    kxtest::OpenSWManager software(source.string(), dest.string(), record);
    hardware.SetVersion("1.0.0.2");
    software.SetVersion("1.0.0.2");
    const std::time_t before = std::time(nullptr);
    hardware.start();
    software.start();
    EXPECT_TRUE(tmpIsEmpty());

    const auto hw = kx::readDataFile(kxtest::readFile(hardware.OutFileName()));
    const auto sw = kx::readDataFile(kxtest::readFile(software.OutFileName()));
    EXPECT_EQ(hw["kind"], "hardware");
    EXPECT_EQ(sw["kind"], "software");
    for (const auto* file : {&hw, &sw}) {
        EXPECT_EQ((*file)["header"]["computerName"], "host1");
        EXPECT_EQ((*file)["header"]["machineUuid"], "UUID-9");
        EXPECT_EQ((*file)["header"]["agentVersion"], "1.0.0.2");
        EXPECT_GE((*file)["header"]["startTime"].get<int64_t>(),
                  static_cast<int64_t>(before & 0xFFFFFFFF));
        EXPECT_GE((*file)["header"]["endTime"], (*file)["header"]["startTime"]);
    }
    const std::string hwName = fs::path(hardware.OutFileName()).filename().string();
    const std::string swName = fs::path(software.OutFileName()).filename().string();
    EXPECT_EQ(hwName.substr(0, 7), "KX-0-12");
    EXPECT_EQ(swName.substr(0, 7), "KX-0-01");
}

} // namespace
