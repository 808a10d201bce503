// The manifest comes from the server and is read before its signature is
// checked: any bytes must be read or refused without fault, and whatever is
// read must be exactly what the publisher's writer would have signed.

#include <cstddef>
#include <cstdint>
#include <string>

#include "updater/Manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Manifest manifest;
    std::string reason;
    if (ReadManifest(std::string(reinterpret_cast<const char*>(data), size), manifest, reason)) {
        if (ManifestBody(manifest) != manifest.body || manifest.version == 0 ||
            manifest.signature.size() != 64)
            __builtin_trap();
    } else if (reason.empty()) {
        __builtin_trap();
    }
    return 0;
}
