// libFuzzer target: any bytes as the "video" display report.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "inventory/mac/DisplayReport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    macos::readDisplayReport(in);
    return 0;
}
