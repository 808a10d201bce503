// The memory modules of a Mac.
#include <boost/filesystem/path.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/mac/ProfilerReport.h"

namespace {

constexpr const char* kMemoryReport = "mem.xml";

// Intel Macs: one module per slot, under the bank's own `_items`:
//   _name "BANK 0/DIMM0", dimm_size "4 GB", dimm_type "DDR3"
void appendModules(const Plist::array_type& modules, std::vector<tagMEMORYSLOT>& slots) {
    for (const boost::any& value : modules) {
        const Plist::dictionary_type* module = macos::as<Plist::dictionary_type>(value);
        if (module == nullptr)
            continue;
        tagMEMORYSLOT slot;
        macos::readText(*module, "_name", slot.name);
        if (const std::string* size = macos::valueOf<std::string>(*module, "dimm_size"))
            slot.sizeKb = macos::sizeInKb(*size);
        slots.push_back(slot);
    }
}

// Apple Silicon: no module list, the memory as a whole beside its type:
//   SPMemoryDataType "16 GB", dimm_type "LPDDR5", dimm_manufacturer "Hynix"
void appendUnifiedMemory(const Plist::dictionary_type& item, std::vector<tagMEMORYSLOT>& slots) {
    const std::string* size = macos::valueOf<std::string>(item, "SPMemoryDataType");
    if (size == nullptr)
        return;
    tagMEMORYSLOT slot;
    macos::readText(item, "dimm_type", slot.name);
    slot.sizeKb = macos::sizeInKb(*size);
    slots.push_back(slot);
}

} // namespace

// "mem.xml", system_profiler SPMemoryDataType: each item is a bank set whose
// `_items` are the modules (every module recorded, also one without a name).
void CHWInfoManager::loadMemInfo_mac(tagWMISTRUCT& target) {
    const macos::ProfilerReport report(boost::filesystem::path(sourceDir) / kMemoryReport);
    if (report.items() == nullptr)
        return;
    for (const boost::any& value : *report.items()) {
        const Plist::dictionary_type* item = macos::as<Plist::dictionary_type>(value);
        if (item == nullptr)
            continue;
        if (const Plist::array_type* modules = macos::valueOf<Plist::array_type>(*item, "_items"))
            appendModules(*modules, target.memorySlots);
        else
            appendUnifiedMemory(*item, target.memorySlots);
    }
}
