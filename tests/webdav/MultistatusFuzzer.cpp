// Any server answer read as a PROPFIND multistatus: the listing, the
// properties and the quota must neither crash nor leak, whatever the bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "webdav/Multistatus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    WebDAV::Multistatus::names(body, "/SPOOL/agent/decryptdata/");
    WebDAV::Multistatus::properties(body, "/SPOOL/agent/decryptdata/");
    WebDAV::Multistatus::properties(body, "/SPOOL/agent/decryptdata/KX-0-1220261210052300.dat");
    WebDAV::Multistatus::quota_available(body);
    return 0;
}
