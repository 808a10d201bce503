// The mounted volumes of a Mac.
#include <boost/filesystem/path.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/mac/ProfilerReport.h"

namespace {

constexpr const char* kVolumeReport = "logical_disk.xml";
constexpr uint32_t kLocalDisk = 3;

} // namespace

// "logical_disk.xml", system_profiler SPStorageDataType; each item is a volume:
//   mount_point "/", size_in_bytes 249661751296, free_space_in_bytes 23864803328
// Every volume is recorded, also one without a mount point.
void CHWInfoManager::loadPartitionInfo_mac(tagWMISTRUCT& target) {
    const macos::ProfilerReport report(boost::filesystem::path(sourceDir) / kVolumeReport);
    if (report.items() == nullptr)
        return;
    for (const boost::any& value : *report.items()) {
        const Plist::dictionary_type* volume = macos::as<Plist::dictionary_type>(value);
        if (volume == nullptr)
            continue;
        tagWMIPATSTRUCT partition;
        macos::readText(*volume, "mount_point", partition.name);
        if (const long long* size = macos::valueOf<long long>(*volume, "size_in_bytes"))
            partition.sizeBytes = *size;
        if (const long long* free = macos::valueOf<long long>(*volume, "free_space_in_bytes"))
            partition.freeBytes = *free;
        partition.driveType = kLocalDisk;
        target.partitions.push_back(partition);
    }
}
