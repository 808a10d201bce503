// The machine, its processors, host name and system version.
#include "tests/mac/Describe.h"
#include "tests/mac/MacTestSupport.h"

using namespace mactest;

namespace {

class SystemInfo : public ::testing::Test {
protected:
    // Loads with "hardware.xml" holding an overview of these entries.
    void loadOverview(std::initializer_list<std::string> entries) {
        writeFile(source / "hardware.xml", report({dict(entries)}));
        hw.loadSysInfo_mac(record);
    }

    TempFolder temp;
    fs::path source = temp.folder("result");
    tagWMISTRUCT record;
    OpenHWManager hw{source.string(), temp.folder("out").string(), record};
};

const std::string kUuid = entry("platform_UUID", str("00000000-1111-2222-3333-444444444444"));

struct HardwareSample {
    const char* file;
    const char* model;
    const char* serial;
    const char* uuid;
    const char* cpu;
};

TEST_F(SystemInfo, RealOverviewsGiveMachineAndProcessors) {
    const HardwareSample samples[] = {
        {"hardware/grr-2024-M1Pro-MacBookPro18-3-SPHardwareDataType.xml", "MacBook Pro",
         "XY42EDVYNN", "48F1516D-23AB-4242-BB81-6F32D193D3F2", "Apple M1 Pro | 0 MHz | 8 cores"},
        {"hardware/facter-2014-MacBookPro11-3-SPHardwareDataType.xml", "MacBook Pro",
         "C02MQ15KFD57", "24A95B44-2444-59CF-9D9B-A42CF82590AE",
         "Intel Core i7 | 2000 MHz | 4 cores"},
        {"hardware/ohai-10.7.5-MacBookPro8-2-SPHardwareDataType-full.xml", "MacBook Pro",
         "ABCDEFG12345", "DAB12AB34-1234-2222-12FE-1CA6A8F2CB91",
         "Intel Core i7 | 2000 MHz | 4 cores"},
        {"hardware/ohai-2016-MacBookPro11-1-SPHardwareDataType.xml", "MacBook Pro", "ABCDEFG12345",
         "F1A4AE0F-84A8-45D8-83C7-F3F904464FC5", "Intel Core i7 | 3000 MHz | 2 cores"},
    };
    for (const HardwareSample& sample : samples) {
        SCOPED_TRACE(sample.file);
        REQUIRE_SAMPLE(macSample(sample.file));
        fs::copy_file(macSample(sample.file), source / "hardware.xml",
                      fs::copy_options::overwrite_existing);
        tagWMISTRUCT fresh;
        OpenHWManager manager(source.string(), temp.path().string(), fresh);
        manager.loadSysInfo_mac(fresh);
        ASSERT_EQ(fresh.systemInfo.size(), 1u);
        const tagWMIINFOSTRUCT& info = fresh.systemInfo[0];
        EXPECT_EQ(info.manufacturer, "Apple Inc.");
        EXPECT_EQ(info.model, sample.model);
        EXPECT_EQ(info.serialNumber, sample.serial);
        EXPECT_EQ(info.uuid, sample.uuid);
        EXPECT_EQ(describe(fresh.cpus), Lines{sample.cpu});
    }
}

TEST_F(SystemInfo, RealSystemVersionsGiveNameAndVersionNotTheSecurityResponse) {
    const struct {
        const char* file;
        const char* name;
        const char* version;
    } samples[] = {
        {"sw_vers/facter-10.14.1-sw_vers.txt", "Mac OS X", "10.14.1"},
        {"sw_vers/facter-13.3.1-RSR-ProductVersionExtra-sw_vers.txt", "macOS", "13.3.1"},
        {"sw_vers/ohai-10.12-beta-sw_vers.txt", "Mac OS X", "10.12"},
    };
    writeFile(source / "hardware.xml", report({dict({kUuid})}));
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.file);
        REQUIRE_SAMPLE(macSample(sample.file));
        fs::copy_file(macSample(sample.file), source / "os", fs::copy_options::overwrite_existing);
        tagWMISTRUCT fresh;
        OpenHWManager(source.string(), temp.path().string(), fresh).loadSysInfo_mac(fresh);
        ASSERT_EQ(fresh.systemInfo.size(), 1u);
        EXPECT_EQ(fresh.systemInfo[0].osName, sample.name);
        EXPECT_EQ(fresh.systemInfo[0].osVersion, sample.version);
    }
}

TEST_F(SystemInfo, ProcessorClockFromSpeedText) {
    const struct {
        std::string speed; // "" for no key
        uint32_t mhz;
    } cases[] = {{"2.6 GHz", 2000}, {"3 GHz", 3000}, {"800 MHz", 800}, {"fast", 0}, {"", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        record = tagWMISTRUCT();
        if (c.speed.empty())
            loadOverview({kUuid});
        else
            loadOverview({kUuid, entry("current_processor_speed", str(c.speed))});
        ASSERT_EQ(record.cpus.size(), 1u);
        EXPECT_EQ(record.cpus[0].clockMhz, c.mhz);
    }
}

TEST_F(SystemInfo, OneEntryPerPackageSharingTheCores) {
    loadOverview({kUuid, entry("cpu_type", str("Intel Xeon")),
                  entry("number_processors", integer(8)), entry("packages", integer(2)),
                  entry("current_processor_speed", str("2.8 GHz"))});
    EXPECT_EQ(describe(record.cpus),
              (Lines{"Intel Xeon | 2000 MHz | 4 cores", "Intel Xeon | 2000 MHz | 4 cores"}));

    record = tagWMISTRUCT();
    loadOverview({kUuid, entry("number_processors", integer(8)), entry("packages", integer(0))});
    EXPECT_TRUE(record.cpus.empty());
    EXPECT_EQ(record.systemInfo.size(), 1u);

    record = tagWMISTRUCT();
    loadOverview({kUuid});
    EXPECT_EQ(describe(record.cpus), Lines{" | 0 MHz | 1 cores"});

    // A damaged package count does not make the agent append without end.
    record = tagWMISTRUCT();
    loadOverview({kUuid, entry("number_processors", integer(8)),
                  entry("packages", integer(1000000000000LL))});
    EXPECT_EQ(record.cpus.size(), 256u);
}

TEST_F(SystemInfo, AppleSiliconChipAndCoreText) {
    loadOverview({kUuid, entry("chip_type", str("Apple M2 Max")),
                  entry("number_processors", str("proc 12:8:4"))});
    EXPECT_EQ(describe(record.cpus), Lines{"Apple M2 Max | 0 MHz | 12 cores"});

    // cpu_type wins where both are given; a core text of another form is no count.
    record = tagWMISTRUCT();
    loadOverview({kUuid, entry("cpu_type", str("Intel Core i9")),
                  entry("chip_type", str("Apple M1")), entry("number_processors", str("eight"))});
    EXPECT_EQ(describe(record.cpus), Lines{"Intel Core i9 | 0 MHz | 1 cores"});
}

TEST_F(SystemInfo, WithoutHardwareUuidOnlyTheProcessors) {
    loadOverview(
        {entry("machine_name", str("MacBook Air")), entry("cpu_type", str("Intel Core i5"))});
    EXPECT_TRUE(record.systemInfo.empty());
    EXPECT_EQ(describe(record.cpus), Lines{"Intel Core i5 | 0 MHz | 1 cores"});
}

TEST_F(SystemInfo, UnusableOverviewAddsNothing) {
    const std::string overview = dict({kUuid, entry("cpu_type", str("Intel Core i5"))});
    const std::string cases[] = {
        "",                                                // empty file
        "not a property list",                             //
        plist(dict({entry("_items", array({overview}))})), // top level not an array
        plist(array({})),                                  // empty top level
        plist(
            array({str("x"),
                   dict({entry("_items", array({overview}))})})), // first element not a dictionary
        plist(array({dict({entry("_items", dict({}))})})),        // _items not an array
        report({}),                                               // no items
        report({str("hardware_overview"), overview}),             // first item not a dictionary
    };
    for (const std::string& content : cases) {
        SCOPED_TRACE(content);
        record = tagWMISTRUCT();
        writeFile(source / "hardware.xml", content);
        hw.loadSysInfo_mac(record);
        EXPECT_TRUE(record.systemInfo.empty());
        EXPECT_TRUE(record.cpus.empty());
    }
}

TEST_F(SystemInfo, HostNameSplitsAtTheFirstDot) {
    const struct {
        const char* line;
        const char* computer;
        const char* domain;
    } cases[] = {
        {"mac01.corp.example.com\n", "mac01", "corp.example.com"},
        {"  mac02  \nsecond line\n", "mac02", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        record = tagWMISTRUCT();
        writeFile(source / "hostname", c.line);
        loadOverview({kUuid});
        ASSERT_EQ(record.systemInfo.size(), 1u);
        EXPECT_EQ(record.systemInfo[0].computerName, c.computer);
        EXPECT_EQ(record.systemInfo[0].domainName, c.domain);
    }
}

TEST_F(SystemInfo, SystemVersionKeysMatchExactly) {
    writeFile(source / "os", "ProductName:\tmacOS\r\n"
                             "ProductVersion:\t10.14.6\n"
                             "ProductVersionExtra:\t(a)\n"
                             "ProductNameSuffix: x\n"
                             "no colon ProductVersion 1\n"
                             "BuildVersion:\t18G84\n");
    loadOverview({kUuid});
    ASSERT_EQ(record.systemInfo.size(), 1u);
    EXPECT_EQ(record.systemInfo[0].osName, "macOS");
    EXPECT_EQ(record.systemInfo[0].osVersion, "10.14.6");
}

TEST_F(SystemInfo, MissingHostNameAndVersionStayEmpty) {
    loadOverview(
        {kUuid, entry("machine_name", str("Mac mini")), entry("serial_number", str("C07XX"))});
    ASSERT_EQ(record.systemInfo.size(), 1u);
    const tagWMIINFOSTRUCT& info = record.systemInfo[0];
    EXPECT_EQ(info.model, "Mac mini");
    EXPECT_EQ(info.serialNumber, "C07XX");
    EXPECT_EQ(info.computerName + info.domainName + info.osName + info.osVersion +
                  info.osInstallDate + info.architecture + info.sourceFolderName,
              "");
}

TEST_F(SystemInfo, SourceFolderNamedUnlessResult) {
    const struct {
        std::string folder;
        const char* expected;
    } cases[] = {{"result", ""}, {"result/", ""}, {"collect", "collect"}, {"collect/", "collect"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string sourceDir = temp.folder(c.folder).string(); // keeps a trailing "/"
        writeFile(fs::path(sourceDir) / "hardware.xml", report({dict({kUuid})}));
        tagWMISTRUCT fresh;
        OpenHWManager(sourceDir, temp.path().string(), fresh).loadSysInfo_mac(fresh);
        ASSERT_EQ(fresh.systemInfo.size(), 1u);
        EXPECT_EQ(fresh.systemInfo[0].sourceFolderName, c.expected);
    }
}

} // namespace
