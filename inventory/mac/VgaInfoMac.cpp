// The graphics adapters of a Mac.
#include <boost/filesystem/fstream.hpp>

#include "CHWInfoManager.h"
#include "DisplayReport.h"

namespace {

constexpr const char* kDisplayReport = "video";

} // namespace

// "video", the text of system_profiler SPDisplaysDataType:
//   Chipset Model: Intel HD Graphics 530
//   VRAM (Dynamic, Max): 1536 MB
//   Resolution: 2880 x 1800 Retina
//   Framebuffer Depth: 24-Bit Color (ARGB8888)
// A missing file records nothing.
void CHWInfoManager::loadVgaInfo_mac(tagWMISTRUCT& record) {
    boost::filesystem::ifstream in(boost::filesystem::path(sourceDir) / kDisplayReport, std::ios::binary);
    for (tagMONITORSTRUCT& monitor : macos::readDisplayReport(in))
        record.monitors.push_back(monitor);
}
