// Disks and optical drives from "physical_disk", volumes from
// "logical_disk", the graphics adapter from the first line of "video".
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "tests/linux/LinuxTestSupport.h"

namespace {

using namespace linuxtest;

std::string device(const std::string& type, const std::string& model, const std::string& size,
                   const std::string& kernelName) {
    return "TYPE=\"" + type + "\" MODEL=\"" + model + "\" SIZE=\"" + size + "\" KNAME=\"" +
           kernelName + "\"";
}

TEST(LinuxDisks, DisksAndOpticalDrivesByType) {
    const tagWMISTRUCT record = collect(
        {{"physical_disk", device("disk", "Samsung SSD 860", "500107862016", "sda") + "\n" +
                               device("DISK", "WDC WD1600JS-75N", "465.8G", "sdb") + "\n" +
                               device("part", "", "1073741824", "sda1") + "\n" +
                               device("rom", "DVD+-RW DVD8801 ", "1073741312", "sr0") + "\n" +
                               device("lvm", "", "53687091200", "dm-0") + "\n" +
                               "KNAME=\"sdc\" MODEL=\"Other Order\" SIZE=\"1\" TYPE=\"disk\"\n" +
                               device("disk", "Windows Line", "2048", "sdd") + "\r\n"}},
        &OpenHWManager::loadDiskInfo);

    ASSERT_EQ(record.disks.size(), 3u);
    EXPECT_EQ(record.disks[0].name, "Samsung SSD 860");
    EXPECT_EQ(record.disks[0].sizeBytes, 500107862016);
    EXPECT_EQ(record.disks[0].partitionCount, 1u);
    EXPECT_EQ(record.disks[0].reserved, 0u);
    EXPECT_EQ(record.disks[0].diskText1 + record.disks[0].diskText2 + record.disks[0].diskText3,
              "");
    EXPECT_EQ(record.disks[1].name, "WDC WD1600JS-75N");
    EXPECT_EQ(record.disks[1].sizeBytes, 465) << "465.8G read as a number";
    EXPECT_EQ(record.disks[2].name, "Windows Line");
    EXPECT_EQ(record.disks[2].sizeBytes, 2048);

    ASSERT_EQ(record.cdDrives.size(), 1u);
    EXPECT_EQ(record.cdDrives[0].name, "sr0");
    EXPECT_EQ(record.cdDrives[0].deviceName, "DVD+-RW DVD8801 ");
}

// A disk is never nameless: without a model (an older script's virtual disk) its kernel name.
TEST(LinuxDisks, DiskWithoutModelIsNamedByItsKernelName) {
    const tagWMISTRUCT record =
        collect({{"physical_disk", device("disk", "", "274877906944", "vda") + "\n" +
                                       device("rom", "", "1", "sr0") + "\n"}},
                &OpenHWManager::loadDiskInfo);
    ASSERT_EQ(record.disks.size(), 1u);
    EXPECT_EQ(record.disks[0].name, "vda");
    ASSERT_EQ(record.cdDrives.size(), 1u);
    EXPECT_EQ(record.cdDrives[0].deviceName, "") << "an optical drive's model stays as it is";
}

TEST(LinuxDisks, OverlongLineIsSkippedQuickly) {
    // Greedy groups over a long line would overflow the stack or backtrack for minutes.
    std::string crafted = "TYPE=\"disk";
    while (crafted.size() < 20000)
        crafted += "\" MODEL=\"\" SIZE=\"";
    const auto started = std::chrono::steady_clock::now();
    const tagWMISTRUCT record = collect(
        {{"physical_disk", device("disk", std::string(100000, 'M'), "1", "sda") + "\n" + crafted +
                               "\n" + device("disk", "Short", "2", "sdb") + "\n"}},
        &OpenHWManager::loadDiskInfo);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ASSERT_EQ(record.disks.size(), 1u);
    EXPECT_EQ(record.disks[0].name, "Short");
}

struct Volume {
    std::string name;
    int64_t sizeBytes;
    int64_t freeBytes;
    bool operator==(const Volume& other) const {
        return name == other.name && sizeBytes == other.sizeBytes && freeBytes == other.freeBytes;
    }
};

void PrintTo(const Volume& volume, std::ostream* out) {
    *out << "{" << volume.name << ", " << volume.sizeBytes << ", " << volume.freeBytes << "}";
}

TEST(LinuxVolumes, SevenSingleBlankFieldsAfterTheHeading) {
    const tagWMISTRUCT record = collect(
        {{"logical_disk", "/ ext4 999 1 2 3% /dev/heading-is-skipped\n"
                          "/ ext4 12694495232 5203902464 6845734912 44% /dev/sda5\n"
                          "/home  ext4 1 2 3 4% /dev/sda7\n"         // two blanks: eight fields
                          "/boot ext4 500 100 400 20%\n"             // six fields
                          "/srv ext4 1 2 3 4% /dev/sdb1 extra\n"     // eight fields
                          "/media/usb vfat n/a 0 x 0% /dev/sdc1\r\n" // not numbers; CR in field 7
                          "\n"}},
        &OpenHWManager::loadPartitionInfo);
    std::vector<Volume> volumes;
    for (const tagWMIPATSTRUCT& volume : record.partitions) {
        EXPECT_EQ(volume.driveType, 3u);
        volumes.push_back({volume.name, volume.sizeBytes, volume.freeBytes});
    }
    const std::vector<Volume> expected = {{"/", 12694495232, 6845734912}, {"/media/usb", 0, 0}};
    EXPECT_EQ(volumes, expected);
}

TEST(LinuxVolumes, HeadingAloneOrNoFileGivesNone) {
    EXPECT_TRUE(
        collect({{"logical_disk", "/ ext4 1 2 3 4% /dev/sda1"}}, &OpenHWManager::loadPartitionInfo)
            .partitions.empty());
    EXPECT_TRUE(collect({}, &OpenHWManager::loadPartitionInfo).partitions.empty());
}

struct VideoCase {
    const char* what;
    std::string text;
    std::vector<std::string> names;
};

void PrintTo(const VideoCase& c, std::ostream* out) { *out << c.what; }

const VideoCase kVideoCases[] = {
    {"AdapterAfterBusAddress",
     "00:02.0 VGA compatible controller: Intel Corporation HD Graphics 620 (rev 02)\n",
     {"Intel Corporation HD Graphics 620 (rev 02)"}},
    {"OnlyFirstLineCounts",
     "00:1f.3 Audio device Intel\n00:02.0 VGA compatible controller: Intel\n",
     {}},
    {"ColonRightAtIndexEight", "01:00.0 :Radeon\n", {"Radeon"}},
    {"LeadingBlanksTrimmedFirst",
     "   00:02.0 VGA: Cirrus Logic GD 5446  \n",
     {"Cirrus Logic GD 5446"}},
    {"DomainBusAddress",
     "0000:01:00.0 VGA compatible controller: NVIDIA GP107\n",
     {"NVIDIA GP107"}},
    {"ColonOnlyInBusAddress", "00:02.0 VGA compatible controller\n", {}},
    {"ShortLine", "00:02\n", {}},
    {"EmptyFile", "", {}},
};

class Video : public ::testing::TestWithParam<VideoCase> {};

TEST_P(Video, AdapterNameAfterFirstColonPastBusAddress) {
    const tagWMISTRUCT record = collect({{"video", GetParam().text}}, &OpenHWManager::loadVgaInfo);
    std::vector<std::string> names;
    for (const tagMONITORSTRUCT& monitor : record.monitors) {
        EXPECT_EQ(monitor.vramKb + monitor.width + monitor.height + monitor.colorDepth, 0u);
        names.push_back(monitor.name);
    }
    EXPECT_EQ(names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(LinuxDisplay, Video, ::testing::ValuesIn(kVideoCases),
                         [](const auto& test) { return std::string(test.param.what); });

} // namespace
