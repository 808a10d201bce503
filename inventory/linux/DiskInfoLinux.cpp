// Linux block devices: "physical_disk", as "lsblk -b -d -P -o TYPE,MODEL,SIZE,KNAME" prints them.
#include "inventory/CHWInfoManager.h"

#include <cstdlib>
#include <regex>
#include <string>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/path.hpp>

#include "inventory/linux/LinuxInput.h"

// TYPE="disk" MODEL="WDC WD1600JS-75N" SIZE="160041885696" KNAME="sda"
// TYPE="rom" MODEL="DVD+-RW DVD8801 " SIZE="1073741312" KNAME="sr0"
// A disk is never nameless: the script names one without a model by its
// vendor and transport ("Virtio block device"), and a disk that still has
// no name (an older script) is named by its kernel name.
void CHWInfoManager::loadDiskInfo(tagWMISTRUCT& target) {
    static const std::regex kDevice("TYPE=\"(.*)\" MODEL=\"(.*)\" SIZE=\"(.*)\" KNAME=\"(.*)\"");
    for (const std::string& line :
         linuxinput::readLines(boost::filesystem::path(sourceDir) / "physical_disk")) {
        std::smatch device;
        if (!linuxinput::searchLine(line, kDevice, device))
            continue;
        const std::string type = device[1], model = device[2], size = device[3],
                          kernelName = device[4];
        if (boost::algorithm::iequals(type, "disk")) {
            tagWMIDISKSTRUCT disk;
            disk.name = model.empty() ? kernelName : model;
            disk.sizeBytes = std::atoll(size.c_str());
            disk.partitionCount = 1;
            target.disks.push_back(disk);
        } else if (boost::algorithm::iequals(type, "rom")) {
            tagCDSTRUCT drive;
            drive.name = kernelName;
            drive.deviceName = model;
            target.cdDrives.push_back(drive);
        }
    }
}
