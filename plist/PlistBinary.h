// The binary property-list reader ("bplist00": header, object table, offset
// table, 32-byte trailer, big-endian numbers). Used by readPlist.
#pragma once

#include <cstdint>
#include <vector>

#include <boost/any.hpp>

namespace Plist {

// The failure of a list nested deeper than maxNesting, in either syntax.
constexpr char nestingTooDeep[] = "Plist: containers nested deeper than 512 levels";

// The state of one read. The tables are views into the caller's buffer;
// every position and count read from them is checked against their sizes.
struct PlistHelperData {
    const unsigned char* objectTable = nullptr; // buffer start up to the offset table
    uint64_t objectTableSize = 0;
    const unsigned char* offsetTable = nullptr; // one entry per object reference
    uint64_t offsetCount = 0;
    int offsetByteSize = 0;
    int64_t offsetTableOffset = 0;
    int objectRefSize = 0;
    // Objects a read may still produce: a container referred to from more
    // than one place must not multiply the tree beyond the size of the list.
    mutable uint64_t objectBudget = 0;
    // Positions of the containers being read, to refuse one inside itself.
    mutable std::vector<bool> openContainers;
};

// Reads a whole binary list (size >= 8, starting with "bplist00").
boost::any parseBinaryPlist(const unsigned char* data, uint64_t size);

} // namespace Plist
