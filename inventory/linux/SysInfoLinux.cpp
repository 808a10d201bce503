// Linux system identity: "dmidecode" (or "grep_sys_devices"), where the
// firmware has no DMI tables "devicetree" and "machine_id", then "hostname",
// "domainname", "arch", and the operating system through loadOSInfo.
#include "inventory/CHWInfoManager.h"
#include "inventory/SystemIdentity.h"

#include <cctype>
#include <map>
#include <string>
#include <utility>

#include <boost/filesystem/path.hpp>

#include "common/utils.h"

namespace {

using KeyedValues = std::map<std::string, std::string>;

void copyIfPresent(const KeyedValues& values, const std::string& key, std::string& field) {
    const auto found = values.find(key);
    if (found != values.end())
        field = found->second;
}

// The installation's machine id (32 hexadecimal digits) in the form
// dmidecode prints a UUID: 8-4-4-4-12, upper case. Anything else gives none.
std::string machineUuid(const std::string& machineId) {
    if (machineId.size() != 32)
        return std::string();
    std::string uuid;
    for (size_t i = 0; i < machineId.size(); ++i) {
        const unsigned char digit = static_cast<unsigned char>(machineId[i]);
        if (!std::isxdigit(digit))
            return std::string();
        if (i == 8 || i == 12 || i == 16 || i == 20)
            uuid += '-';
        uuid += static_cast<char>(std::toupper(digit));
    }
    return uuid;
}

} // namespace

void CHWInfoManager::loadSysInfo(tagWMISTRUCT& target) {
    const boost::filesystem::path source(sourceDir);
    tagWMIINFOSTRUCT entry;

    // "dmidecode -t system", key, colon, value (the last line with a key wins):
    //     Manufacturer: Dell Inc.
    //     Product Name: PowerEdge R640
    //     Serial Number: 8XYZ123
    //     UUID: 4c4c4544-0038-5810-8059-b8c04f5a3132
    const KeyedValues dmi = wmi::parseMap(source / "dmidecode");
    copyIfPresent(dmi, "Manufacturer", entry.manufacturer);
    copyIfPresent(dmi, "Product Name", entry.model);
    copyIfPresent(dmi, "Serial Number", entry.serialNumber);
    copyIfPresent(dmi, "UUID", entry.uuid);

    // Without maker and serial number, "grep . /sys/devices/virtual/dmi/id/*":
    //     /sys/devices/virtual/dmi/id/sys_vendor:LENOVO
    if (entry.manufacturer.empty() && entry.serialNumber.empty()) {
        const KeyedValues sys = wmi::parseMap(source / "grep_sys_devices");
        copyIfPresent(sys, "/sys/devices/virtual/dmi/id/sys_vendor", entry.manufacturer);
        copyIfPresent(sys, "/sys/devices/virtual/dmi/id/product_name", entry.model);
        copyIfPresent(sys, "/sys/devices/virtual/dmi/id/product_serial", entry.serialNumber);
        copyIfPresent(sys, "/sys/devices/virtual/dmi/id/product_uuid", entry.uuid);
    }

    // Boards described by a device tree instead (ARM), "devicetree", the
    // tree's "model" and "serial-number" without their closing NUL:
    //     model:Raspberry Pi 4 Model B Rev 1.4
    //     serial-number:10000000a1b2c3d4
    // DMI's values, where there are any, stay.
    const KeyedValues tree = wmi::parseMap(source / "devicetree");
    if (entry.model.empty())
        copyIfPresent(tree, "model", entry.model);
    if (entry.serialNumber.empty())
        copyIfPresent(tree, "serial-number", entry.serialNumber);

    // Without a firmware UUID, "machine_id" (/etc/machine-id), which is
    // unique and stable for the installation: 3d1219c7c4c5404aaa1f6d2a48adfda4
    if (entry.uuid.empty())
        entry.uuid = machineUuid(wmi::singleLine(source / "machine_id"));

    entry.sourceFolderName = identity::sourceFolderName(sourceDir);

    // "hostname": host.example.com — the label, then the domain after the first dot.
    identity::HostName hostName = identity::splitHostName(wmi::singleLine(source / "hostname"));
    entry.computerName = std::move(hostName.computerName);
    entry.domainName = std::move(hostName.domainName);
    // "domainname": example.com, whatever it says, when the host name had no domain.
    if (entry.domainName.empty())
        entry.domainName = wmi::singleLine(source / "domainname");

    loadOSInfo(entry);

    // "arch": x86_64
    entry.architecture = wmi::singleLine(source / "arch");

    target.systemInfo.push_back(entry);
}
