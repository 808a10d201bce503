// The update list comes from the server: any bytes must parse without fault,
// and every entry's name and directory must pass or fail the path check.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "updater/UpdateListData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream list(std::string(reinterpret_cast<const char*>(data), size));
    for (const _updateListData& entry : ParseList(list)) {
        if (UntrustedPathReason(entry) == nullptr && entry.name.find('/') != std::string::npos)
            __builtin_trap();
    }
    return 0;
}
