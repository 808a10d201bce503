// Feeds arbitrary bytes to both configuration lookups and the check of a
// settings file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "common/IniWrapXml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = "/tmp/kx-fuzz-ini-" + std::to_string(getpid()) + ".ini";
    if (FILE* out = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    std::string value;
    IniWrapXml::GetPrivateProfileString("Config", "Server", "", value, 1024, file.c_str());
    IniWrapXml::GetPrivateProfileInt("Config", "Port", 80, file.c_str());
    IniWrapXml::Check(file.c_str(), {{"Config", {"Server", "Port"}}});
    std::remove(file.c_str());
    return 0;
}
