// Any bytes: either a decoded file whose JSON can be printed, or FormatError.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/kxdump/KxReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const auto file = kx::readDataFile(std::string(reinterpret_cast<const char*>(data), size));
        (void)file.dump(2);
    } catch (const kx::FormatError&) {
    }
    return 0;
}
