// Linux processors: "cpu", in the form of /proc/cpuinfo.
#include "inventory/CHWInfoManager.h"

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/path.hpp>

#include "inventory/linux/LinuxInput.h"
#include "common/utils.h"

// One block per logical processor; the i-th occurrences of the keys belong
// together, and each package is described by its first logical processor:
//     processor       : 0
//     model name      : Intel(R) Xeon(R) CPU E5-2650 v2 @ 2.60GHz
//     cpu MHz         : 2599.998
//     physical id     : 0
//     cpu cores       : 8
void CHWInfoManager::loadCpuInfo(tagWMISTRUCT& target) {
    using boost::algorithm::starts_with;
    std::vector<int> packages;
    std::vector<std::string> names;
    std::vector<int> cores;
    std::vector<int> clocks;

    for (const std::string& line :
         linuxinput::readLines(boost::filesystem::path(sourceDir) / "cpu")) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string value = wmi::trim(line.substr(colon + 1));
        if (starts_with(line, "physical id"))
            packages.push_back(std::atoi(value.c_str()));
        if (starts_with(line, "model name"))
            names.push_back(value);
        if (starts_with(line, "cpu cores"))
            cores.push_back(std::atoi(value.c_str()));
        if (starts_with(line, "cpu MHz"))
            clocks.push_back(std::atoi(value.c_str())); // 2400.000 gives 2400
    }
    if (packages.empty())
        packages.push_back(0); // no "physical id" lines, as on some virtual machines

    std::set<int> described;
    for (size_t i = 0; i < packages.size(); ++i) {
        if (described.count(packages[i]) != 0 || i >= names.size())
            continue;
        tagWMICPUSTRUCT cpu;
        cpu.name = names[i];
        cpu.clockMhz = static_cast<uint32_t>(i < clocks.size() ? clocks[i] : 0);
        cpu.cores = static_cast<uint32_t>(i < cores.size() ? cores[i] : 1);
        target.cpus.push_back(cpu);
        described.insert(packages[i]);
    }
}
