// kxdump: data files written by the managers come back as JSON with every
// field; anything else is refused with a message and exit status 1, a wrong
// command line with status 2.

#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "tests/inventory/KxBytes.h"
#include "tools/kxdump/KxReader.h"
#include "tests/inventory/KxRecords.h"
#include "tests/support/Files.h"
#include "tests/support/OpenManagers.h"
#include "tests/support/TempFolder.h"
#include "common/Version.h"

namespace fs = boost::filesystem;
using json = nlohmann::ordered_json;

namespace {

struct DumpRun {
    int status = -1;
    std::string out;
    std::string err;
};

class KxDump : public ::testing::Test {
protected:
    kxtest::TempFolder dir;

    DumpRun kxdump(const fs::path& file) { return kxdumpWith("'" + file.string() + "'"); }

    // kxdump with `arguments` as the shell gets them.
    DumpRun kxdumpWith(const std::string& arguments) {
        // A kxdump that blocks on its input fails the test instead of hanging it.
        const std::string command = std::string("timeout 30 '") + KX_BINARY_DIR + "/kxdump' " +
                                    arguments + " >'" + (dir / "stdout").string() + "' 2>'" +
                                    (dir / "stderr").string() + "'";
        DumpRun run;
        const int rc = std::system(command.c_str());
        run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        run.out = kxtest::readFile(dir / "stdout");
        run.err = kxtest::readFile(dir / "stderr");
        return run;
    }

    fs::path hardwareFile(tagWMISTRUCT record) {
        kxtest::OpenHWManager manager("result", dir.path().string(), record);
        manager.SetVersion("1.0.0.2");
        manager.Header().startTime = 1000;
        manager.Header().endTime = 2000;
        manager.encodeInfo(dir / "hw.dat");
        return dir / "hw.dat";
    }

    fs::path softwareFile(const std::vector<tagAPPLIDATASTRUCT>& applications) {
        tagWMISTRUCT record;
        record.systemInfo = {mac01()};
        kxtest::OpenSWManager manager("result", dir.path().string(), record);
        manager.SetVersion("1.0.0.2");
        manager.Header().startTime = 1000;
        manager.Header().endTime = 2000;
        manager.List() = applications;
        manager.encodeInfo(dir / "sw.dat");
        return dir / "sw.dat";
    }
};

TEST_F(KxDump, HardwareFileComesBackWithEveryField) {
    const tagWMISTRUCT record = fullRecord();
    const DumpRun run = kxdump(hardwareFile(record));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const json j = json::parse(run.out);

    EXPECT_EQ(j["kind"], "hardware");
    EXPECT_EQ(j["header"], json::parse(R"({"magic":"KX20","formatVersion":10012,"reserved":0,
        "computerName":"mac01","fileKind":12,"agentVersion":"1.0.0.2","categoryCode":5,
        "startTime":1000,"endTime":2000,"extensionFlag":1,"machineUuid":"UUID-1"})"));

    const tagWMIINFOSTRUCT& s = record.systemInfo[0];
    EXPECT_EQ(j["system"], json({{"computerName", s.computerName},
                                 {"manufacturer", s.manufacturer},
                                 {"model", s.model},
                                 {"serialNumber", s.serialNumber},
                                 {"uuid", s.uuid}}));
    EXPECT_EQ(j["operatingSystem"], json({{"osName", s.osName},
                                          {"osText4", s.osText4},
                                          {"osText5", s.osText5},
                                          {"osText6", s.osText6},
                                          {"osText7", s.osText7},
                                          {"osInstallDate", s.osInstallDate},
                                          {"osFlag", "0"},
                                          {"sourceFolderName", s.sourceFolderName},
                                          {"domainName", s.domainName},
                                          {"architecture", s.architecture},
                                          {"osVersion", s.osVersion},
                                          {"reservedTexts", {"", ""}},
                                          {"stamp", 0}}));

    ASSERT_EQ(j["cpus"].size(), record.cpus.size());
    for (size_t i = 0; i < record.cpus.size(); ++i)
        EXPECT_EQ(j["cpus"][i], json({{"name", record.cpus[i].name},
                                      {"clockMhz", record.cpus[i].clockMhz},
                                      {"cores", record.cpus[i].cores}}));
    ASSERT_EQ(j["memorySlots"].size(), record.memorySlots.size());
    for (size_t i = 0; i < record.memorySlots.size(); ++i)
        EXPECT_EQ(j["memorySlots"][i], json({{"name", record.memorySlots[i].name},
                                             {"sizeKb", record.memorySlots[i].sizeKb}}));
    const tagWMIDISKSTRUCT& d = record.disks[0];
    EXPECT_EQ(j["disks"], json::array({json({{"name", d.name},
                                             {"sizeBytes", d.sizeBytes},
                                             {"reserved", 0},
                                             {"partitionCount", d.partitionCount},
                                             {"diskText1", d.diskText1},
                                             {"diskText2", d.diskText2},
                                             {"diskText3", "APPLE"},
                                             {"stamp", 0}})}));
    ASSERT_EQ(j["partitions"].size(), record.partitions.size());
    for (size_t i = 0; i < record.partitions.size(); ++i) {
        const tagWMIPATSTRUCT& p = record.partitions[i];
        EXPECT_EQ(j["partitions"][i], json({{"name", p.name},
                                            {"sizeBytes", p.sizeBytes},
                                            {"freeBytes", p.freeBytes},
                                            {"driveType", p.driveType},
                                            {"marker", 0xFFFFFFFFu}}));
    }
    EXPECT_EQ(j["cdDrives"], json::array({json({{"name", "DVD"}, {"deviceName", "/dev/sr0"}})}));
    const tagMONITORSTRUCT& m = record.monitors[0];
    EXPECT_EQ(j["monitors"], json::array({json({{"name", m.name},
                                                {"vramKb", m.vramKb},
                                                {"width", m.width},
                                                {"height", m.height},
                                                {"colorDepth", m.colorDepth}})}));
    ASSERT_EQ(j["nics"].size(), record.nics.size());
    for (size_t i = 0; i < record.nics.size(); ++i) {
        const tagWMINICSTRUCT& n = record.nics[i];
        EXPECT_EQ(j["nics"][i], json({{"adapterState", n.adapterState},
                                      {"description", n.description},
                                      {"macAddress", n.macAddress},
                                      {"ipAddress", n.ipAddress},
                                      {"subnetMask", n.subnetMask},
                                      {"defaultGateway", n.defaultGateway},
                                      {"dhcpServer", n.dhcpServer},
                                      {"dnsServer1", n.dnsServer1},
                                      {"dnsServer2", n.dnsServer2},
                                      {"dhcpEnabled", n.dhcpEnabled},
                                      {"wireless", n.wireless}}));
    }
    EXPECT_EQ(
        j["printers"],
        json::array({json(
            {{"text1", "p1"}, {"text2", "p2"}, {"text3", "p3"}, {"text4", "p4"}, {"stamp", 0}})}));
    EXPECT_EQ(j["accounts"], json::array({json({{"name", "admin"}, {"value", 500}})}));
    EXPECT_EQ(j["closingCounts"], json::array({0, 0}));
}

TEST_F(KxDump, SoftwareFileComesBackWithEveryField) {
    tagAPPLIDATASTRUCT a;
    a.installTime = 1500000000;
    a.name = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 C:\\Apps ~1"; // テスト, backslash and tilde
    a.version = "16.5";
    tagAPPLIDATASTRUCT b;
    b.name = "\xEF\xBD\xB1 half-width"; // half-width katakana A: one byte in Shift_JIS
    const DumpRun run = kxdump(softwareFile({a, b}));
    ASSERT_EQ(run.status, 0) << run.err;
    const json j = json::parse(run.out);
    EXPECT_EQ(j["kind"], "software");
    EXPECT_EQ(j["header"]["formatVersion"], 10004);
    EXPECT_EQ(j["header"]["fileKind"], 1);
    EXPECT_EQ(j["header"]["categoryCode"], 1);
    EXPECT_EQ(j["applications"], json::array({json({{"installTime", 1500000000},
                                                    {"name", a.name},
                                                    {"reservedText1", ""},
                                                    {"version", "16.5"},
                                                    {"reservedText2", ""},
                                                    {"reservedNumber", 0}}),
                                              json({{"installTime", 0},
                                                    {"name", b.name},
                                                    {"reservedText1", ""},
                                                    {"version", ""},
                                                    {"reservedText2", ""},
                                                    {"reservedNumber", 0}})}));
    EXPECT_EQ(j["terminator"], 0);
}

TEST_F(KxDump, OlderFormatVersionOmitsTheFieldsItLacks) {
    tagWMISTRUCT record = fullRecord();
    kxtest::OpenHWManager manager("result", dir.path().string(), record);
    manager.encodeWithVersion(dir / "old.dat", 10003);
    const json j = kx::readDataFile(kxtest::readFile(dir / "old.dat"));
    EXPECT_FALSE(j["header"].contains("machineUuid"));
    EXPECT_FALSE(j["header"].contains("extensionFlag"));
    EXPECT_FALSE(j["disks"][0].contains("diskText3"));
    EXPECT_FALSE(j["nics"][0].contains("wireless"));
    EXPECT_EQ(j["closingCounts"].size(), 1u);
}

TEST(KxReader, ByteThatIsNoShiftJisBecomesAReplacementCharacter) {
    EXPECT_EQ(kx::sjisToUtf8("a\x83"), "a\xEF\xBF\xBD"); // lead byte without trail
    EXPECT_EQ(kx::sjisToUtf8("\xFF"
                             "b"),
              "\xEF\xBF\xBD"
              "b");                                        // no Shift_JIS byte at all
    EXPECT_EQ(kx::sjisToUtf8("\x83\x41"), "\xE3\x82\xA2"); // KATAKANA A
}

TEST_F(KxDump, TextThatIsNoShiftJisStillGivesValidJson) {
    tagWMISTRUCT record;
    record.systemInfo = {mac01()};
    record.systemInfo[0].model = std::string(5000, '\x80'); // not UTF-8: kept as it is, cut at 4094
    const DumpRun run = kxdump(hardwareFile(record));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(json::accept(run.out)) << run.out.substr(0, 200);
}

// ---------------------------------------------------------------- refusals

KxBytes softwareHeader() {
    return KxBytes()
        .text("KX20")
        .u32(10004)
        .u32(0)
        .text("mac01")
        .u32(1)
        .text("1.0.0.2")
        .u32(1)
        .u32(1)
        .u32(2)
        .u32(1)
        .text("U");
}

std::string validSoftware() {
    return softwareHeader()
        .count(1)
        .u32(5)
        .text("App")
        .texts(1)
        .text("1.0")
        .texts(1)
        .u32(0)
        .u32(0)
        .trailer()
        .bytes;
}

std::string hardwareUpToCpus(uint32_t cpuCount) {
    return KxBytes()
        .text("KX20")
        .u32(10012)
        .u32(0)
        .text("h")
        .u32(12)
        .text("v")
        .u32(5)
        .u32(1)
        .u32(2)
        .u32(1)
        .text("U")
        .texts(5)
        .count(cpuCount)
        .bytes;
}

struct Malformed {
    const char* what;
    std::string bytes;
    const char* message; // part of what kxdump says
};
void PrintTo(const Malformed& c, std::ostream* os) { *os << c.what; }

class KxDumpRefuses : public KxDump, public ::testing::WithParamInterface<Malformed> {};

TEST_P(KxDumpRefuses, MalformedFileWithAMessageAndStatusOne) {
    kxtest::writeFile(dir / "bad.dat", GetParam().bytes);
    const DumpRun run = kxdump(dir / "bad.dat");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad.dat"), std::string::npos) << run.err;
}

const std::string kValid = validSoftware();

INSTANTIATE_TEST_SUITE_P(
    Files, KxDumpRefuses,
    ::testing::Values(
        Malformed{"empty", "", "wrong magic"}, Malformed{"text", "hello world", "wrong magic"},
        Malformed{"other magic", "\x04KX21" + kValid.substr(5), "wrong magic"},
        Malformed{"magic without prefix", kValid.substr(1), "wrong magic"},
        Malformed{"cut in the header", kValid.substr(0, 8), "the file ends inside formatVersion"},
        Malformed{"cut text", kValid.substr(0, 15),
                  "the text computerName at offset 13 is cut off"},
        Malformed{"cut long text", kValid.substr(0, 13) + "\xFF\x10",
                  "the file ends inside computerName"},
        Malformed{"application count past the end",
                  softwareHeader().count(1000).u32(0).trailer().bytes, "the count of applications"},
        Malformed{"processor count past the end", hardwareUpToCpus(0x7FFFFFFF) + "KX20EOF",
                  "the count of cpus at offset"},
        Malformed{"no trailer", kValid.substr(0, kValid.size() - 7), "missing \"KX20EOF\""},
        Malformed{"other trailer", kValid.substr(0, kValid.size() - 1) + "X",
                  "missing \"KX20EOF\""},
        Malformed{"bytes after the trailer", kValid + "xy", "bytes after \"KX20EOF\": 2"},
        Malformed{"unknown kind",
                  KxBytes()
                      .text("KX20")
                      .u32(10004)
                      .u32(0)
                      .text("h")
                      .u32(7)
                      .text("v")
                      .u32(1)
                      .u32(1)
                      .u32(2)
                      .u32(1)
                      .text("U")
                      .trailer()
                      .bytes,
                  "unknown file kind 7"}));

TEST_F(KxDump, FileThatCannotBeReadIsRefusedWithTheSystemsReason) {
    fs::create_directories(dir / "folder.dat");
    const std::vector<std::pair<fs::path, std::string>> cases = {
        {dir / "absent.dat", "No such file or directory"},
        {dir / "folder.dat", "Is a directory"},
    };
    for (const auto& [file, reason] : cases) {
        SCOPED_TRACE(file.string());
        const DumpRun run = kxdump(file);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "kxdump: " + file.string() + ": " + reason + "\n");
    }
}

TEST_F(KxDump, CommandLineHelpVersionAndUsage) {
    struct Case {
        std::string arguments;
        int status;
        std::string out; // the beginning of standard output
        std::string err;
    };
    const std::vector<Case> cases = {
        {"--help", 0, "usage: kxdump FILE\n", ""},
        {"--version", 0, "kxdump " KX_VERSION "\n", ""},
        {"", 2, "", "usage: kxdump FILE\n"},
        {"a.dat b.dat", 2, "", "usage: kxdump FILE\n"},
        {"--help extra", 2, "", "usage: kxdump FILE\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const DumpRun run = kxdumpWith(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out.substr(0, c.out.size()), c.out);
        EXPECT_EQ(c.out.empty(), run.out.empty());
        EXPECT_EQ(run.err, c.err);
    }
}

// Anything but a regular file of at most 64 MiB is refused before it is read:
// a FIFO would block the read, a device or a huge file would fill memory.
struct NotAFile {
    const char* what;
    void (*arrange)(const fs::path& file);
    const char* message; // the reason kxdump gives
};
void PrintTo(const NotAFile& c, std::ostream* os) { *os << c.what; }

class KxDumpRefusesInput : public KxDump, public ::testing::WithParamInterface<NotAFile> {};

TEST_P(KxDumpRefusesInput, BeforeReadingWithAMessageAndStatusOne) {
    const fs::path file = dir / "input.dat";
    GetParam().arrange(file);
    const DumpRun run = kxdump(file);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "kxdump: " + file.string() + ": " + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, KxDumpRefusesInput,
    ::testing::Values(
        NotAFile{"fifo", [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); },
                 "not a regular file"},
        NotAFile{"link to /dev/zero", [](const fs::path& f) { fs::create_symlink("/dev/zero", f); },
                 "not a regular file"},
        NotAFile{"one byte over 64 MiB",
                 [](const fs::path& f) {
                     kxtest::writeFile(f, "");
                     fs::resize_file(f, (uint64_t(64) << 20) + 1); // sparse: nothing is written
                 },
                 "larger than 64 MiB"}));

TEST_F(KxDump, LinkToADataFileIsFollowed) {
    kxtest::writeFile(dir / "good.dat", kValid);
    fs::create_symlink(dir / "good.dat", dir / "link.dat");
    EXPECT_EQ(kxdump(dir / "link.dat").status, 0);
}

TEST_F(KxDump, ValidSoftwareFixtureIsAccepted) { // the base of the refusal table
    kxtest::writeFile(dir / "good.dat", kValid);
    EXPECT_EQ(kxdump(dir / "good.dat").status, 0);
}

// Every fuzzing seed is a file the managers wrote; they all decode.
TEST(KxReaderSeeds, EverySeedDecodes) {
    const fs::path seeds = fs::path(KX_SOURCE_DIR) / "tests/tools/kxdump_seeds";
    int count = 0;
    for (const auto& entry : fs::directory_iterator(seeds)) {
        EXPECT_NO_THROW(kx::readDataFile(kxtest::readFile(entry.path()))) << entry.path();
        ++count;
    }
    EXPECT_GT(count, 0);
}

} // namespace
