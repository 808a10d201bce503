// The binary reader on lists built byte by byte: each object kind, each
// failure message, and every bound a hostile list may break.
#include <chrono>

#include <boost/locale/encoding_errors.hpp>
#include <gtest/gtest.h>

#include "tests/plist/PlistTestSupport.h"

using namespace plisttest;
using Plist::array_type;
using Plist::dictionary_type;

namespace {

struct BinaryCase {
    const char* name;
    std::string list;
    boost::any expected; // empty when the read must fail
    std::string failure;
};

std::ostream& operator<<(std::ostream& out, const BinaryCase& c) { return out << c.name; }

std::string list(std::vector<std::string> objects) {
    return BinaryList{std::move(objects)}.bytes();
}

// The list with its trailer byte at index (0-31) replaced.
std::string withTrailerByte(std::string bytes, int index, int value) {
    bytes[bytes.size() - 32 + index] = static_cast<char>(value);
    return bytes;
}

std::string withOffsetTableOffset(std::string bytes, uint64_t offset) {
    bytes.replace(bytes.size() - 8, 8, bigEndian(offset, 8));
    return bytes;
}

std::string realObject(int widthLog2, const std::string& bits) {
    return obj({0x20 | widthLog2}) + bits;
}

std::string dateObject(double seconds) {
    uint64_t bits;
    std::memcpy(&bits, &seconds, sizeof bits);
    return obj({0x33}) + bigEndian(bits, 8);
}

std::string floatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bigEndian(bits, 4);
}

// An array whose two references both name the next array, level after level:
// a few hundred bytes that would unfold into 2^levels objects.
std::string doublingArrays(int levels) {
    std::vector<std::string> objects;
    for (int i = 0; i < levels; ++i)
        objects.push_back(obj({0xA2, i + 1, i + 1}));
    objects.push_back(obj({0x09}));
    return list(objects);
}

const std::string outOfBounds = "Out of bounds getRange";
const std::string notSupported = "This type is not supported";
const std::string badSizes = "Plist: offset or reference size in trailer not between 1 and 8";
const std::string tooDeep = "Plist: containers nested deeper than 512 levels";
const std::string containsItself = "Plist: container contains itself";

const BinaryCase binaryCases[] = {
    {"OneByteInteger", list({obj({0x10, 0xFF})}), 255LL, ""},
    {"TwoByteIntegerIsUnsigned", list({obj({0x11, 0xFF, 0xFE})}), 65534LL, ""},
    {"FourByteIntegerIsUnsigned", list({obj({0x12, 0xFF, 0xFF, 0xFF, 0xFF})}), 4294967295LL, ""},
    {"EightByteIntegerIsTwosComplement", list({obj({0x13}) + std::string(8, '\xFF')}), -1LL, ""},
    {"SixteenByteIntegerKeepsLowEightBytes",
     list({obj({0x14}) + std::string(8, '\x12') + bigEndian(7, 8)}), 7LL, ""},
    {"FourByteRealIsSinglePrecision", list({realObject(2, floatBits(0.1f))}), double(0.1f), ""},
    {"EightByteRealIsDouble", list({realObject(3, bigEndian(0x400C000000000000ULL, 8))}), 3.5, ""},
    {"DateAtTheEpochOf2001", list({dateObject(0.0)}), Plist::Date(1, 1, 2001, 0, 0, 0, true), ""},
    {"DateTruncatedTowardZero", list({dateObject(-0.5)}),
     Plist::Date(12, 31, 2000, 23, 59, 59, true), ""},
    {"False", list({obj({0x08})}), false, ""},
    {"True", list({obj({0x09})}), true, ""},
    {"AsciiString", list({obj({0x53, 'a', 'b', 'c'})}), std::string("abc"), ""},
    {"ExtendedCountString", list({obj({0x5F, 0x10, 0x14}) + std::string(20, 'x')}),
     std::string(20, 'x'), ""},
    {"Utf16String", list({obj({0x62, 0x00, 0x61, 0x00, 0xE9})}), std::string("a\xC3\xA9"), ""},
    {"Data", list({obj({0x42, 0x00, 0xFF})}), std::vector<char>({'\0', '\xFF'}), ""},
    {"EmptyArray", list({obj({0xA0})}), array_type(), ""},
    {"ArrayOfTwo", list({obj({0xA2, 1, 2}), obj({0x10, 5}), obj({0x51, 'z'})}),
     array_type({5LL, std::string("z")}), ""},
    {"Utf16KeyAccepted", list({obj({0xD1, 1, 2}), obj({0x61, 0x30, 0xE1}), obj({0x09})}),
     dictionary_type({{"\xE3\x83\xA1", true}}), ""},
    {"LastDuplicateKeyWins",
     list({obj({0xD2, 1, 1, 2, 3}), obj({0x51, 'k'}), obj({0x10, 1}), obj({0x10, 2})}),
     dictionary_type({{"k", 2LL}}), ""},
    {"RootIsObjectZeroWhateverTheTopObjectField",
     BinaryList{{obj({0x51, 'r'}), obj({0x51, 't'})}, 1, 1, 1}.bytes(), std::string("r"), ""},
    {"TwoByteOffsetsAndReferences", BinaryList{{obj({0xA1, 0, 1}), obj({0x09})}, 2, 2}.bytes(),
     array_type{true}, ""},
    {"SharedContainerWithinBudget", list({obj({0xA2, 1, 1}), obj({0xA1, 2}), obj({0x09})}),
     array_type{array_type{true}, array_type{true}}, ""},

    {"NullObject", list({obj({0x00})}), {}, "Plist: null byte encountered, unsure how to parse"},
    {"FillByte", list({obj({0x0F})}), {}, "Plist: fill byte encountered, unsure how to parse"},
    {"UnknownSimpleMarker", list({obj({0x07})}), {}, "Plist: unknown header \x07"},
    {"UidObject", list({obj({0x80, 0x01})}), {}, notSupported},
    {"SetObject", list({obj({0xC0})}), {}, notSupported},
    {"OrderedSet", list({obj({0xB0})}), {}, notSupported},
    {"MarkerAboveDictionaries", list({obj({0xE0})}), {}, notSupported},
    {"IntegerKey",
     list({obj({0xD1, 1, 2}), obj({0x10, 1}), obj({0x09})}),
     {},
     "Error parsing dictionary.  Key can't be parsed as a string"},
    {"UnpairedSurrogate", list({obj({0x61, 0xD8, 0x00})}), {}, "Conversion failed"},

    {"ShorterThanTrailer", "bplist00" + std::string(20, '\0'), {}, outOfBounds},
    {"OffsetTableBeyondTrailer", withOffsetTableOffset(list({obj({0x09})}), 1000), {}, outOfBounds},
    {"OffsetTableOffsetNegative",
     withOffsetTableOffset(list({obj({0x09})}), ~0ULL),
     {},
     outOfBounds},
    {"OffsetTableNotWholeEntries",
     withTrailerByte(list({obj({0x09}), obj({0x09})}), 6, 2),
     {},
     outOfBounds},
    {"EmptyOffsetTable", withOffsetTableOffset(list({obj({0x09})}), 9 + 1), {}, outOfBounds},
    {"OffsetSizeZero", withTrailerByte(list({obj({0x09})}), 6, 0), {}, badSizes},
    {"OffsetSizeNine", withTrailerByte(list({obj({0x09})}), 6, 9), {}, badSizes},
    {"ReferenceSizeZero", withTrailerByte(list({obj({0x09})}), 7, 0), {}, badSizes},
    {"ReferenceOutsideOffsetTable", list({obj({0xA1, 7}), obj({0x09})}), {}, outOfBounds},
    {"ObjectPositionOutsideObjectTable",
     withOffsetTableOffset(list({obj({0x09})}), 8),
     {},
     outOfBounds},
    {"IntegerRunsPastObjectTable", list({obj({0x13, 1, 2})}), {}, outOfBounds},
    {"WidestIntegerRunsPastObjectTable", list({obj({0x1F, 1})}), {}, outOfBounds},
    {"RealRunsPastObjectTable", list({obj({0x23, 0, 0})}), {}, outOfBounds},
    {"DateRunsPastObjectTable", list({obj({0x33, 0})}), {}, outOfBounds},
    {"StringRunsPastObjectTable", list({obj({0x55, 'a'})}), {}, outOfBounds},
    {"DataRunsPastObjectTable", list({obj({0x4E, 'a'})}), {}, outOfBounds},
    {"Utf16RunsPastObjectTable", list({obj({0x63, 0, 'a', 0, 'b'})}), {}, outOfBounds},
    {"HugeExtendedCount", list({obj({0x5F, 0x13}) + std::string(8, '\xFF')}), {}, outOfBounds},
    {"ExtendedCountMissing", list({obj({0x5F})}), {}, outOfBounds},
    {"ArrayReferencesRunPastObjectTable",
     list({obj({0xAF, 0x12, 0x7F, 0xFF, 0xFF, 0xFF})}),
     {},
     outOfBounds},
    {"DictionaryReferencesRunPastObjectTable", list({obj({0xD2, 0, 0, 0})}), {}, outOfBounds},
    {"NonFiniteDate",
     list({obj({0x33, 0x7F, 0xF8, 0, 0, 0, 0, 0, 0})}),
     {},
     "Plist::Date::set() date invalid"},
    {"DateBeyondTimeRange", list({dateObject(1e300)}), {}, "Plist::Date::set() date invalid"},
    {"ArrayContainingItself", list({obj({0xA1, 0})}), {}, containsItself},
    {"DictionariesContainingEachOther",
     list({obj({0xD1, 2, 1}), obj({0xD1, 2, 0}), obj({0x51, 'k'})}),
     {},
     containsItself},
    {"SharedContainersUnfoldingBeyondTheList",
     doublingArrays(40),
     {},
     "Plist: containers referred to more often than the list can hold"},
};

class BinaryReading : public ::testing::TestWithParam<BinaryCase> {};

TEST_P(BinaryReading, ReadsToTheExpectedValueOrMessage) {
    const BinaryCase& c = GetParam();
    boost::any value;
    const std::string failure = failureOf([&] { value = readBuffer(c.list); });
    EXPECT_EQ(failure, c.failure);
    if (!c.expected.empty() && failure.empty()) {
        EXPECT_EQ(difference(value, c.expected), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BinaryReading, ::testing::ValuesIn(binaryCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(BinaryReading, InvalidUtf16ThrowsBoostLocaleConversionError) {
    EXPECT_THROW(readBuffer(list({obj({0x61, 0xDC, 0x00})})),
                 boost::locale::conv::conversion_error);
}

TEST(BinaryReading, SelfReferenceFailsWithoutExhaustingTheStack) {
    // 2-byte references to itself, inside a list with many objects.
    BinaryList cyclic{{obj({0xA2, 0, 0, 0, 0})}, 1, 2};
    EXPECT_THROW(readBuffer(cyclic.bytes()), Plist::Error);
}

TEST(BinaryReading, SharedContainerBombFailsQuickly) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(readBuffer(doublingArrays(500)), Plist::Error);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
