// The physical disks and the mounted volumes.
#include "tests/mac/Describe.h"
#include "tests/mac/MacTestSupport.h"

using namespace mactest;

namespace {

class Storage : public ::testing::Test {
protected:
    Lines disks() {
        tagWMISTRUCT record;
        hw.loadDiskInfo_mac(record);
        return describe(record.disks);
    }
    Lines volumes() {
        tagWMISTRUCT record;
        hw.loadPartitionInfo_mac(record);
        return describe(record.partitions);
    }
    void copySample(const fs::path& sample, const char* name) {
        fs::copy_file(sample, source / name, fs::copy_options::overwrite_existing);
    }

    TempFolder temp;
    fs::path source = temp.folder("result");
    tagWMISTRUCT unused;
    OpenHWManager hw{source.string(), temp.path().string(), unused};
};

TEST_F(Storage, RealControllerReportsGiveNamedDrives) {
    const struct {
        const char* sample;
        const char* input;
        Lines expected;
    } cases[] = {
        {"sata/glpi-2017-ICH8M-WDC-HDD-SPSerialATADataType.xml",
         "physical_disk.xml",
         {"WDC WD2500AAJS-40VWA1 | 250059350016 B | 3 volumes"}},
        {"sata/glpi-2017-AppleSSD-SD0128F-SPSerialATADataType.xml",
         "physical_disk.xml",
         {"APPLE SSD SD0128F | 121332826112 B | 3 volumes"}},
        {"sata/glpi-VirtualBox-ICH8M-with-CDROM-SPSerialATADataType.xml",
         "physical_disk.xml",
         {"VBOX HARDDISK | 41943040000 B | 2 volumes", "VBOX CD-ROM | 0 B | 0 volumes"}},
        {"sata/ohai-10.7.5-MacBookPro8-2-SPSerialATADataType-mini.xml",
         "physical_disk.xml",
         {"TOSHIBA MK7559GSXF | 750156374016 B | 0 volumes",
          "MATSHITADVD-R   UJ-8A8 | 0 B | 0 volumes"}},
        {"nvme/glpi-AppleSilicon-APPLE-SSD-AP0512Q-SPNVMeDataType.xml",
         "nvme_disk.xml",
         {"APPLE SSD AP0512Q | 500277792768 B | 3 volumes"}},
        {"nvme/simian-no-nvme-drive-SPNVMeDataType-without-items.xml", "nvme_disk.xml", {}},
        {"pata/ohai-10.7.5-MacBookPro8-2-SPParallelATADataType-mini-empty.xml",
         "pata_disk.xml",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        REQUIRE_SAMPLE(macSample(c.sample));
        for (const char* name : {"physical_disk.xml", "nvme_disk.xml", "pata_disk.xml"})
            fs::remove(source / name);
        copySample(macSample(c.sample), c.input);
        EXPECT_EQ(disks(), c.expected);
    }
}

TEST_F(Storage, SataThenNvmeThenParallelAta) {
    const auto controller = [](const std::string& drive) {
        return report({dict({entry("_name", str("controller")),
                             entry("_items", array({dict({entry("_name", str(drive))})}))})});
    };
    writeFile(source / "pata_disk.xml", controller("pata"));
    writeFile(source / "nvme_disk.xml", controller("nvme"));
    writeFile(source / "physical_disk.xml", controller("sata"));
    EXPECT_EQ(disks(), (Lines{"sata | 0 B | 0 volumes", "nvme | 0 B | 0 volumes",
                              "pata | 0 B | 0 volumes"}));
}

TEST_F(Storage, DrivesWithoutNameOrOfOtherTypesAreSkipped) {
    writeFile(
        source / "physical_disk.xml",
        report({
            dict({entry("_name", str("empty controller"))}),
            str("not a controller"),
            dict({entry("_items",
                        array({
                            dict({entry("size_in_bytes", integer(1000))}),
                            dict({entry("_name", str("")), entry("size_in_bytes", integer(1000))}),
                            str("not a drive"),
                            dict({entry("_name", str("disk")), entry("size_in_bytes", str("1000")),
                                  entry("volumes", dict({}))}),
                            dict({entry("_name", str("big")),
                                  entry("size_in_bytes", integer(8001563222016)),
                                  entry("volumes", array({dict({}), dict({})}))}),
                        }))}),
        }));
    EXPECT_EQ(disks(), (Lines{"disk | 0 B | 0 volumes", "big | 8001563222016 B | 2 volumes"}));
}

TEST_F(Storage, RealVolumeReport) {
    const fs::path sample =
        macSample("storage/ohai-2016-MacBookPro11-1-SPStorageDataType-corestorage.xml");
    REQUIRE_SAMPLE(sample);
    copySample(sample, "logical_disk.xml");
    EXPECT_EQ(volumes(), Lines{"/ | 249661751296 B | 23864803328 free | type 3"});
}

TEST_F(Storage, EveryVolumeAlsoWithoutMountPoint) {
    writeFile(source / "logical_disk.xml",
              report({dict({entry("mount_point", str("/Volumes/Data")),
                            entry("size_in_bytes", integer(500)),
                            entry("free_space_in_bytes", integer(200))}),
                      str("not a volume"), dict({entry("_name", str("Recovery"))})}));
    EXPECT_EQ(volumes(),
              (Lines{"/Volumes/Data | 500 B | 200 free | type 3", " | 0 B | 0 free | type 3"}));
}

TEST_F(Storage, MissingOrUnreadableReportsAddNothing) {
    EXPECT_TRUE(disks().empty());
    EXPECT_TRUE(volumes().empty());
    writeFile(source / "physical_disk.xml", "garbage");
    writeFile(source / "logical_disk.xml", plist(str("x")));
    EXPECT_TRUE(disks().empty());
    EXPECT_TRUE(volumes().empty());
}

} // namespace
