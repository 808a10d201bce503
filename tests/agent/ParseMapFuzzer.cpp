// Feeds arbitrary bytes to the result-file readers as a collected file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "common/utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = "/tmp/kx-fuzz-map-" + std::to_string(getpid());
    if (FILE* out = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    for (const auto& [key, value] : wmi::parseMap(file))
        wmi::UTF8toSJIS(key + value);
    wmi::singleLine(file);
    std::remove(file.c_str());
    return 0;
}
