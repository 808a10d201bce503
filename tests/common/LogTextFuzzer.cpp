// Any bytes a server may send: the log line holds no control character and
// stays within its limit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/LogText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string line = LogText::OneLine(text);
    if (line.size() > LogText::kLimit)
        std::abort();
    for (const char c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            std::abort();
    return 0;
}
