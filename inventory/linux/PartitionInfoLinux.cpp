// Linux mounted volumes: "logical_disk", a heading line, then seven fields
// separated by single blanks: mount point, type, size, used, free, use, source.
#include "inventory/CHWInfoManager.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/filesystem/path.hpp>

#include "inventory/linux/LinuxInput.h"

// Mounted Type Size Used Avail Use% Filesystem
// / ext4 12694495232 5203902464 6845734912 44% /dev/sda5
void CHWInfoManager::loadPartitionInfo(tagWMISTRUCT& target) {
    constexpr size_t kFields = 7;
    const std::vector<std::string> lines =
        linuxinput::readLines(boost::filesystem::path(sourceDir) / "logical_disk");
    for (size_t i = 1; i < lines.size(); ++i) { // the heading line is skipped
        std::vector<std::string> fields;
        boost::algorithm::split(fields, lines[i],
                                boost::algorithm::is_any_of(" ")); // two blanks: an empty field
        if (fields.size() != kFields)
            continue;
        tagWMIPATSTRUCT volume;
        volume.name = fields[0];
        volume.sizeBytes = std::atoll(fields[2].c_str());
        volume.freeBytes = std::atoll(fields[4].c_str());
        volume.driveType = 3;
        target.partitions.push_back(volume);
    }
}
