// The physical disks of a Mac.
#include <boost/filesystem/path.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/mac/ProfilerReport.h"

namespace {

// SATA, NVMe and parallel ATA, in this order; the same shape each.
constexpr const char* kDiskReports[] = {"physical_disk.xml", "nvme_disk.xml", "pata_disk.xml"};

// A controller's drives:
//   _name "APPLE SSD AP0512Q", size_in_bytes 500277792768, volumes (array)
// A drive without a name (an empty bay) is not recorded.
void appendDisks(const Plist::array_type& drives, std::vector<tagWMIDISKSTRUCT>& disks) {
    for (const boost::any& value : drives) {
        const Plist::dictionary_type* drive = macos::as<Plist::dictionary_type>(value);
        if (drive == nullptr)
            continue;
        tagWMIDISKSTRUCT disk;
        macos::readText(*drive, "_name", disk.name);
        if (const long long* size = macos::valueOf<long long>(*drive, "size_in_bytes"))
            disk.sizeBytes = *size;
        if (const Plist::array_type* volumes = macos::valueOf<Plist::array_type>(*drive, "volumes"))
            disk.partitionCount = static_cast<uint32_t>(volumes->size());
        if (!disk.name.empty())
            disks.push_back(disk);
    }
}

} // namespace

// "physical_disk.xml", "nvme_disk.xml", "pata_disk.xml", system_profiler
// SPSerialATADataType, SPNVMeDataType, SPParallelATADataType: each item is a
// controller ("Intel ICH8-M AHCI") whose `_items` are its drives.
void CHWInfoManager::loadDiskInfo_mac(tagWMISTRUCT& target) {
    for (const char* name : kDiskReports) {
        const macos::ProfilerReport report(boost::filesystem::path(sourceDir) / name);
        if (report.items() == nullptr)
            continue;
        for (const boost::any& value : *report.items()) {
            const Plist::dictionary_type* controller = macos::as<Plist::dictionary_type>(value);
            if (controller == nullptr)
                continue;
            if (const Plist::array_type* drives =
                    macos::valueOf<Plist::array_type>(*controller, "_items"))
                appendDisks(*drives, target.disks);
        }
    }
}
