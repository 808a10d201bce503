// Linux graphics adapter: "video", the first line of the adapter's lspci line.
#include "inventory/CHWInfoManager.h"

#include <string>

#include <boost/filesystem/path.hpp>

#include "common/utils.h"

// 00:02.0 VGA compatible controller: Intel Corporation HD Graphics 620 (rev 02)
// The colons of the 8-character bus address are skipped.
void CHWInfoManager::loadVgaInfo(tagWMISTRUCT& target) {
    constexpr size_t kBusAddress = 8;
    const std::string line = wmi::singleLine(boost::filesystem::path(sourceDir) / "video");
    const size_t colon = line.find(':', kBusAddress);
    if (colon == std::string::npos)
        return;
    tagMONITORSTRUCT adapter;
    adapter.name = wmi::trim(line.substr(colon + 1));
    target.monitors.push_back(adapter);
}
