// The graphics adapters from the text display report.
#include <sstream>

#include "tests/mac/Describe.h"
#include "inventory/mac/DisplayReport.h"
#include "tests/mac/MacTestSupport.h"

using namespace mactest;

namespace {

Lines read(const std::string& text) {
    std::istringstream in(text);
    return describe(macos::readDisplayReport(in));
}

TEST(DisplayReport, RealReportsOfEveryEra) {
    const struct {
        const char* sample;
        Lines expected;
    } cases[] = {
        // Each adapter's display ends in "Pixel Depth" (macOS 10.6 to 10.13).
        {"displays/glpi-10.6.5-RadeonHD5770-two-displays-SPDisplaysDataType.txt",
         {"ATI Radeon HD 5770 | 1048576 KB | 1920x1080 | 32 bit"}},
        {"displays/glpi-GeForceGT730-SPDisplaysDataType.txt",
         {"Asus GeForce GT 730 | 1048576 KB | 1920x1080 | 32 bit"}},
        {"displays/glpi-10.6-Macmini-GeForce9400-full-text-report.txt",
         {"NVIDIA GeForce 9400 | 262144 KB | 1920x1080 | 32 bit"}},
        {"displays/glpi-10.6-iMac-RadeonHD2600-full-text-report.txt",
         {"ATI,RadeonHD2600 | 262144 KB | 1920x1200 | 32 bit"}},
        {"displays/glpi-10.6.6-MacBook-GMA950-full-text-report.txt",
         {"GMA 950 | 65536 KB | 1280x800 | 32 bit"}},
        // PowerPC era: "Depth: 32-bit Color".
        {"displays/glpi-10.4-PowerPC-GeForce6600-full-text-report.txt",
         {"GeForce 6600 | 262144 KB | 1360x768 | 32 bit"}},
        {"displays/glpi-10.5-PowerPC-GeForce6600-full-text-report.txt",
         {"GeForce 6600 | 262144 KB | 1680x1050 | 32 bit"}},
        // macOS 10.14 and later: "Framebuffer Depth", VRAM in GB, adapters without a display.
        {"displays/glpi-10.14-Intel530-RadeonPro450-SPDisplaysDataType.txt",
         {"Intel HD Graphics 530 | 1572864 KB | 2880x1800 | 24 bit",
          "AMD Radeon Pro 450 | 2097152 KB | 0x0 | 0 bit"}},
        {"displays/glpi-Intel530-RadeonPro450-display-on-second-gpu-SPDisplaysDataType.txt",
         {"Intel HD Graphics 530 | 1572864 KB | 0x0 | 0 bit",
          "AMD Radeon Pro 450 | 2097152 KB | 2880x1800 | 24 bit"}},
        // Apple Silicon: neither VRAM nor depth.
        {"displays/glpi-11.2.3-M1-MacBookAir-full-text-report.txt",
         {"Apple M1 | 0 KB | 2560x1600 | 0 bit"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        REQUIRE_SAMPLE(macSample(c.sample));
        EXPECT_EQ(read(readFile(macSample(c.sample))), c.expected);
    }
}

TEST(DisplayReport, AdapterPerPixelDepthLine) {
    EXPECT_EQ(read("Chipset Model: A\n"
                   "VRAM (Total): 1536 MB\n"
                   "Resolution: 2560 x 1600 Retina\n"
                   "Pixel Depth: 32-Bit Color (ARGB8888)\n"
                   "Resolution: 1024 x 768\n"
                   "Pixel Depth: 16-Bit Color\n" // a second display of the same adapter
                   "Chipset Model: B\n"
                   "VRAM (Total): 256\n"
                   "Resolution: 1920 x 1080 @ 60 Hz\n"
                   "Pixel Depth: 30-Bit Color (ARGB2101010)\n"),
              (Lines{"A | 1572864 KB | 2560x1600 | 32 bit", "B | 262144 KB | 1920x1080 | 30 bit"}));
}

TEST(DisplayReport, ValueTexts) {
    const struct {
        const char* lines;
        const char* expected;
    } cases[] = {
        {"VRAM (Total): 2 GB", "X | 2097152 KB | 0x0 | 0 bit"},
        {"VRAM (Dynamic, Max): 1536 MB", "X | 1572864 KB | 0x0 | 0 bit"},
        {"VRAM (Total): 64 MB of Shared System Memory", "X | 65536 KB | 0x0 | 0 bit"},
        {"VRAM (Total): 128", "X | 131072 KB | 0x0 | 0 bit"},
        {"VRAM (Total): shared", "X | 0 KB | 0x0 | 0 bit"},
        {"Resolution: Retina 2560 x 1600", "X | 0 KB | 2560x1600 | 0 bit"},
        {"Resolution: 3 x wide, 1920 x 1080", "X | 0 KB | 1920x1080 | 0 bit"},
        {"Resolution: 640x480", "X | 0 KB | 0x0 | 0 bit"},
        {"Resolution: x 1 x y 2 x 3", "X | 0 KB | 2x3 | 0 bit"},
        {"Framebuffer Depth: 24-Bit Color (ARGB8888)", "X | 0 KB | 0x0 | 24 bit"},
        {"Depth: 32-bit Color", "X | 0 KB | 0x0 | 32 bit"},
        {"Depth: millions", "X | 0 KB | 0x0 | 0 bit"},
        {"Bit Depth: 16\nQueue Depth: 32", "X | 0 KB | 0x0 | 0 bit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        EXPECT_EQ(read(std::string("Chipset Model: X\n") + c.lines + "\n"), Lines{c.expected});
    }
}

TEST(DisplayReport, LinesBeforeAnyAdapterAndWithoutColonRecordNothing) {
    EXPECT_EQ(read(""), Lines{});
    EXPECT_EQ(read("Graphics/Displays\nPixel Depth: 32-Bit Color\nResolution: 1 x 1\n"), Lines{});
    // Values seen before the adapter starts are not its own.
    EXPECT_EQ(read("VRAM (Total): 512 MB\nChipset Model: X\r\n"), Lines{"X | 0 KB | 0x0 | 0 bit"});
}

TEST(DisplayReport, VideoFileOfTheSourceFolder) {
    TempFolder temp;
    const fs::path source = temp.folder("result");
    tagWMISTRUCT record;
    OpenHWManager hw(source.string(), temp.path().string(), record);
    hw.loadVgaInfo_mac(record);
    EXPECT_TRUE(record.monitors.empty());

    writeFile(source / "video",
              "Graphics/Displays:\n\n    Apple M1:\n\n      Chipset Model: Apple M1\n"
              "      Displays:\n        Color LCD:\n          Resolution: 2560 x 1600 Retina\n");
    hw.loadVgaInfo_mac(record);
    EXPECT_EQ(describe(record.monitors), Lines{"Apple M1 | 0 KB | 2560x1600 | 0 bit"});
}

} // namespace
