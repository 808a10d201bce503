#include "plist/PlistBinary.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <boost/locale/encoding_utf.hpp>

#include "plist/Plist.h"

namespace Plist {

namespace {

const char* const outOfBounds = "Out of bounds getRange";
const char* const notSupported = "This type is not supported";
const char* const keyNotString = "Error parsing dictionary.  Key can't be parsed as a string";
const char* const badTrailer = "Plist: offset or reference size in trailer not between 1 and 8";
const char* const containsItself = "Plist: container contains itself";
const char* const tooManyObjects =
    "Plist: containers referred to more often than the list can hold";

constexpr int trailerSize = 32;

// Fails unless [index, index + size) lies within length bytes.
void getRange(uint64_t length, uint64_t index, uint64_t size) {
    if (index > length || size > length - index)
        throw Error(outOfBounds);
}

// A big-endian unsigned number of any width; of wider numbers the low
// 64 bits count.
uint64_t readBigEndian(const unsigned char* bytes, uint64_t size) {
    uint64_t value = 0;
    for (uint64_t i = 0; i < size; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

void parseTrailer(PlistHelperData& data, const unsigned char* buffer, uint64_t size) {
    getRange(size, 0, trailerSize);
    const unsigned char* trailer = buffer + size - trailerSize;
    data.offsetByteSize = trailer[6];
    data.objectRefSize = trailer[7];
    data.offsetTableOffset = static_cast<int64_t>(readBigEndian(trailer + 24, 8));
    if (data.offsetByteSize < 1 || data.offsetByteSize > 8 || data.objectRefSize < 1 ||
        data.objectRefSize > 8)
        throw Error(badTrailer);
    if (data.offsetTableOffset < 0)
        throw Error(outOfBounds);
    data.objectTable = buffer;
    data.objectTableSize = static_cast<uint64_t>(data.offsetTableOffset);
}

// The offset table runs from its offset to the trailer, whole entries only.
void parseOffsetTable(PlistHelperData& data, const unsigned char* buffer, uint64_t size) {
    const uint64_t end = size - trailerSize;
    getRange(end, data.objectTableSize, 0);
    const uint64_t tableSize = end - data.objectTableSize;
    if (tableSize % data.offsetByteSize != 0)
        throw Error(outOfBounds);
    data.offsetTable = buffer + data.objectTableSize;
    data.offsetCount = tableSize / data.offsetByteSize;
}

// Position of an object in the object table (the low 32 bits of its entry).
uint64_t objectPosition(const PlistHelperData& data, uint64_t reference) {
    if (reference >= data.offsetCount)
        throw Error(outOfBounds);
    const uint64_t position =
        readBigEndian(data.offsetTable + reference * data.offsetByteSize, data.offsetByteSize) &
        0xFFFFFFFFu;
    getRange(data.objectTableSize, position, 1);
    return position;
}

// The payload of a data, string or container object: its element count and
// where the elements start. A low nibble of 0xF means that an integer object
// holding the count follows the marker.
struct Payload {
    uint64_t start;
    uint64_t count;
};

Payload payloadOf(const PlistHelperData& data, uint64_t position, uint64_t elementSize) {
    const unsigned char marker = data.objectTable[position];
    Payload payload{position + 1, marker & 0x0Fu};
    if (payload.count == 0x0F) {
        getRange(data.objectTableSize, position + 1, 1);
        const uint64_t width = uint64_t(1) << (data.objectTable[position + 1] & 0x0F);
        getRange(data.objectTableSize, position + 2, width);
        payload.count = readBigEndian(data.objectTable + position + 2, width) & 0xFFFFFFFFu;
        payload.start = position + 2 + width;
    }
    getRange(data.objectTableSize, payload.start, payload.count * elementSize);
    return payload;
}

uint64_t fixedWidth(const PlistHelperData& data, uint64_t position) {
    const uint64_t width = uint64_t(1) << (data.objectTable[position] & 0x0F);
    getRange(data.objectTableSize, position + 1, width);
    return width;
}

boost::any parseBinary(const PlistHelperData& data, uint64_t reference, int depth);

bool parseBinaryBool(const PlistHelperData& data, uint64_t position) {
    const unsigned char marker = data.objectTable[position];
    switch (marker) {
    case 0x08: return false;
    case 0x09: return true;
    case 0x00: throw Error("Plist: null byte encountered, unsure how to parse");
    case 0x0F: throw Error("Plist: fill byte encountered, unsure how to parse");
    default: throw Error(std::string("Plist: unknown header ") + static_cast<char>(marker));
    }
}

// 1-, 2- and 4-byte integers are unsigned, 8-byte ones two's complement; of
// a 16-byte integer the low 8 bytes count.
long long parseBinaryInt(const PlistHelperData& data, uint64_t position) {
    const uint64_t width = fixedWidth(data, position);
    return static_cast<long long>(readBigEndian(data.objectTable + position + 1, width));
}

// 4-byte reals are single precision, 8-byte ones double precision; any other
// width is taken as the big-endian bits of a double, zero-extended.
double parseBinaryReal(const PlistHelperData& data, uint64_t position) {
    const uint64_t width = fixedWidth(data, position);
    const uint64_t bits = readBigEndian(data.objectTable + position + 1, width);
    if (width == 4) {
        const uint32_t single = static_cast<uint32_t>(bits);
        float value;
        std::memcpy(&value, &single, sizeof value);
        return value;
    }
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A big-endian double of seconds since 2001-01-01T00:00:00Z.
Date parseBinaryDate(const PlistHelperData& data, uint64_t position) {
    getRange(data.objectTableSize, position + 1, 8);
    const uint64_t bits = readBigEndian(data.objectTable + position + 1, 8);
    double seconds;
    std::memcpy(&seconds, &bits, sizeof seconds);
    Date date;
    date.setTimeFromAppleEpoch(seconds);
    return date;
}

std::vector<char> parseBinaryByteArray(const PlistHelperData& data, uint64_t position) {
    const Payload payload = payloadOf(data, position, 1);
    const char* begin = reinterpret_cast<const char*>(data.objectTable + payload.start);
    return std::vector<char>(begin, begin + payload.count);
}

std::string parseBinaryString(const PlistHelperData& data, uint64_t position) {
    const Payload payload = payloadOf(data, position, 1);
    return std::string(reinterpret_cast<const char*>(data.objectTable + payload.start),
                       payload.count);
}

// Big-endian UTF-16 code units to UTF-8; invalid sequences throw
// boost::locale::conv::conversion_error.
std::string parseBinaryUnicode(const PlistHelperData& data, uint64_t position) {
    const Payload payload = payloadOf(data, position, 2);
    const unsigned char* bytes = data.objectTable + payload.start;
    std::u16string units(payload.count, u'\0');
    for (uint64_t i = 0; i < payload.count; ++i)
        units[i] = static_cast<char16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
    return boost::locale::conv::utf_to_utf<char>(units.data(), units.data() + units.size(),
                                                 boost::locale::conv::stop);
}

uint64_t referenceAt(const PlistHelperData& data, const Payload& payload, uint64_t index) {
    return readBigEndian(data.objectTable + payload.start + index * data.objectRefSize,
                         data.objectRefSize) &
           0xFFFFFFFFu;
}

// Marks a container as open for as long as its elements are read.
class OpenContainer {
public:
    OpenContainer(const PlistHelperData& data, uint64_t at, int depth)
        : openContainers(data.openContainers), position(at) {
        if (depth >= maxNesting)
            throw Error(nestingTooDeep);
        if (openContainers[position])
            throw Error(containsItself);
        openContainers[position] = true;
    }
    ~OpenContainer() { openContainers[position] = false; }
    OpenContainer(const OpenContainer&) = delete;
    OpenContainer& operator=(const OpenContainer&) = delete;

private:
    std::vector<bool>& openContainers;
    uint64_t position;
};

std::vector<boost::any> parseBinaryArray(const PlistHelperData& data, uint64_t position,
                                         int depth) {
    const OpenContainer open(data, position, depth);
    const Payload payload = payloadOf(data, position, data.objectRefSize);
    std::vector<boost::any> array;
    array.reserve(payload.count);
    for (uint64_t i = 0; i < payload.count; ++i)
        array.push_back(parseBinary(data, referenceAt(data, payload, i), depth + 1));
    return array;
}

// Keys must be strings (ASCII or UTF-16); any other key object is read for
// its own errors and then rejected.
std::string parseBinaryKey(const PlistHelperData& data, uint64_t reference, int depth) {
    const uint64_t position = objectPosition(data, reference);
    const unsigned char kind = data.objectTable[position] >> 4;
    if (kind == 0x5)
        return parseBinaryString(data, position);
    if (kind == 0x6)
        return parseBinaryUnicode(data, position);
    parseBinary(data, reference, depth);
    throw Error(keyNotString);
}

std::map<std::string, boost::any> parseBinaryDictionary(const PlistHelperData& data,
                                                        uint64_t position, int depth) {
    const OpenContainer open(data, position, depth);
    const Payload payload = payloadOf(data, position, 2 * uint64_t(data.objectRefSize));
    std::map<std::string, boost::any> dictionary;
    for (uint64_t i = 0; i < payload.count; ++i) {
        std::string key = parseBinaryKey(data, referenceAt(data, payload, i), depth + 1);
        boost::any value =
            parseBinary(data, referenceAt(data, payload, payload.count + i), depth + 1);
        dictionary.insert_or_assign(dictionary.end(), std::move(key), std::move(value));
    }
    return dictionary;
}

// depth: the number of containers around this object.
boost::any parseBinary(const PlistHelperData& data, uint64_t reference, int depth) {
    const uint64_t position = objectPosition(data, reference);
    if (data.objectBudget == 0)
        throw Error(tooManyObjects);
    --data.objectBudget;

    const unsigned char marker = data.objectTable[position];
    if (marker >= 0xE0)
        throw Error(notSupported);
    switch (marker >> 4) {
    case 0x0: return parseBinaryBool(data, position);
    case 0x1: return parseBinaryInt(data, position);
    case 0x2: return parseBinaryReal(data, position);
    case 0x3: return parseBinaryDate(data, position);
    case 0x4: return parseBinaryByteArray(data, position);
    case 0x5: return parseBinaryString(data, position);
    case 0x6: return parseBinaryUnicode(data, position);
    case 0xA: return parseBinaryArray(data, position, depth);
    case 0xD: return parseBinaryDictionary(data, position, depth);
    default: throw Error(notSupported);
    }
}

} // namespace

boost::any parseBinaryPlist(const unsigned char* buffer, uint64_t size) {
    PlistHelperData data;
    parseTrailer(data, buffer, size);
    parseOffsetTable(data, buffer, size);
    // Without shared containers every object but the root takes at least one
    // byte of the object table, so the tree never holds more objects than that.
    data.objectBudget = data.objectTableSize + 1;
    data.openContainers.assign(data.objectTableSize, false);
    // The top-object field of the trailer is not read: the root is object 0.
    return parseBinary(data, 0, 0);
}

} // namespace Plist
