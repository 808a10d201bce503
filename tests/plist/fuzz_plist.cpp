// libFuzzer target: any bytes through the buffer reader. Failures must be
// the reader's own exceptions, never a crash, a leak or a hang.
#include <cstddef>
#include <cstdint>

#include <boost/locale/encoding_errors.hpp>

#include "plist/Plist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    boost::any value;
    try {
        Plist::readPlist(reinterpret_cast<const char*>(data), static_cast<long long>(size), value);
    } catch (const Plist::Error&) {
    } catch (const boost::locale::conv::conversion_error&) {
    }
    return 0;
}
