// The graphics adapters of a Mac.
#include <optional>
#include <sstream>

#include <boost/filesystem/path.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/mac/DisplayReport.h"
#include "common/InputFile.h"

namespace {

constexpr const char* kDisplayReport = "video";

} // namespace

// "video", the text of system_profiler SPDisplaysDataType:
//   Chipset Model: Intel HD Graphics 530
//   VRAM (Dynamic, Max): 1536 MB
//   Resolution: 2880 x 1800 Retina
//   Framebuffer Depth: 24-Bit Color (ARGB8888)
// A missing or refused file records nothing.
void CHWInfoManager::loadVgaInfo_mac(tagWMISTRUCT& target) {
    const std::optional<std::string> text = inputfile::readInput(
        (boost::filesystem::path(sourceDir) / kDisplayReport).string(), inputfile::kTextLimit);
    if (!text)
        return;
    std::istringstream in(*text);
    for (tagMONITORSTRUCT& monitor : macos::readDisplayReport(in))
        target.monitors.push_back(monitor);
}
