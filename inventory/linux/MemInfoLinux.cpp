// Linux memory: "mem", in the form of /proc/meminfo; only the first line counts.
#include "inventory/CHWInfoManager.h"

#include <cstdlib>
#include <string>

#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/path.hpp>

#include "inventory/linux/LinuxInput.h"
#include "common/utils.h"

// MemTotal:        8000 kB
void CHWInfoManager::loadMemInfo(tagWMISTRUCT& target) {
    const std::string line = wmi::singleLine(boost::filesystem::path(sourceDir) / "mem");
    const size_t colon = line.find(':');
    if (colon == std::string::npos || !boost::algorithm::starts_with(line, "MemTotal"))
        return;
    const std::string total =
        wmi::trim(boost::algorithm::erase_all_copy(line.substr(colon + 1), "kB"));
    tagMEMORYSLOT memory;
    memory.sizeKb = static_cast<uint32_t>(std::atoi(total.c_str()));
    target.memorySlots.push_back(memory);
}
