// The field encoders, byte by byte.

#include <algorithm>
#include <climits>
#include <functional>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "inventory/CBaseInfoManager.h"
#include "tests/inventory/KxBytes.h"

namespace {

using M = CBaseInfoManager;

std::string encoded(const unsigned char* buffer, int length) {
    return std::string(reinterpret_cast<const char*>(buffer), length);
}

struct NumberCase {
    const char* what;
    std::function<void(unsigned char*, int&)> encode;
    std::string expected;
};
void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.what; }

class NumberEncoding : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberEncoding, WritesLittleEndianBytesAndTheirCount) {
    unsigned char buffer[16] = {};
    int length = -1;
    GetParam().encode(buffer, length);
    EXPECT_EQ(hex(encoded(buffer, length)), hex(GetParam().expected));
}

// One case per line, as the boundaries read best.
// clang-format off
const NumberCase kNumbers[] = {
    {"dword zero", [](unsigned char* b, int& n) { M::FormatDWORDData(0, b, n); }, std::string(4, '\0')},
    {"dword format version", [](unsigned char* b, int& n) { M::FormatDWORDData(10012, b, n); }, std::string("\x1C\x27\0\0", 4)},
    {"dword all ones", [](unsigned char* b, int& n) { M::FormatDWORDData(0xFFFFFFFF, b, n); }, "\xFF\xFF\xFF\xFF"},
    {"dword byte order", [](unsigned char* b, int& n) { M::FormatDWORDData(0x01020304, b, n); }, "\x04\x03\x02\x01"},
    {"int64 byte order", [](unsigned char* b, int& n) { M::FormatInt64Data(0x0102030405060708LL, b, n); },
     "\x08\x07\x06\x05\x04\x03\x02\x01"},
    {"int64 minus one", [](unsigned char* b, int& n) { M::FormatInt64Data(-1, b, n); }, std::string(8, '\xFF')},
    {"int64 smallest", [](unsigned char* b, int& n) { M::FormatInt64Data(LLONG_MIN, b, n); },
     std::string(7, '\0') + "\x80"},
    {"float one", [](unsigned char* b, int& n) { M::FormatFloatData(1.0f, b, n); }, std::string("\0\0\x80\x3F", 4)},
    {"float minus two and a half", [](unsigned char* b, int& n) { M::FormatFloatData(-2.5f, b, n); },
     std::string("\0\0\x20\xC0", 4)},
    {"time", [](unsigned char* b, int& n) { M::FormatCTimeData(1500000000, b, n); }, std::string("\x00\x2F\x68\x59", 4)},
    {"time beyond 32 bits keeps the low bits", [](unsigned char* b, int& n) { M::FormatCTimeData(0x100000001LL, b, n); },
     std::string("\x01\0\0\0", 4)},
    {"time before 1970", [](unsigned char* b, int& n) { M::FormatCTimeData(-1, b, n); }, "\xFF\xFF\xFF\xFF"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Encoders, NumberEncoding, ::testing::ValuesIn(kNumbers));

TEST(Encoders, NullBufferWritesNothingAndLeavesTheLength) {
    int length = 77;
    M::FormatDWORDData(1, nullptr, length);
    M::FormatInt64Data(1, nullptr, length);
    M::FormatFloatData(1, nullptr, length);
    M::FormatCTimeData(1, nullptr, length);
    M::FormatCStringData("x", nullptr, length, true);
    EXPECT_EQ(length, 77);
}

struct TextCase {
    const char* what;
    std::string text;     // UTF-8 input
    std::string expected; // whole field
};
void PrintTo(const TextCase& c, std::ostream* os) { *os << c.what; }

class TextEncoding : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextEncoding, WritesShiftJisWithItsLengthPrefix) {
    std::vector<unsigned char> buffer(M::kTextBufferSize, 0xAA);
    int length = -1;
    M::FormatCStringData(GetParam().text, buffer.data(), length, true);
    ASSERT_EQ(length, static_cast<int>(GetParam().expected.size()));
    EXPECT_EQ(encoded(buffer.data(), length), GetParam().expected)
        << hex(encoded(buffer.data(), std::min(length, 16)));
    for (int i = length; i < M::kTextBufferSize; ++i)
        ASSERT_EQ(buffer[i], 0) << "byte " << i << " of the buffer is not cleared";
}

std::string kana(int n) { // n times KATAKANA A: 3 bytes UTF-8, 2 bytes Shift_JIS (83 41)
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "\xE3\x82\xA2";
    return s;
}
std::string kanaSjis(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "\x83\x41";
    return s;
}

// One case per line, as the boundaries read best.
// clang-format off
const TextCase kTexts[] = {
    {"empty", "", std::string(1, '\0')},
    {"host name", "mac01", "\x05mac01"},
    {"254 bytes keep the short prefix", std::string(254, 'a'), "\xFE" + std::string(254, 'a')},
    {"255 bytes take the long prefix", std::string(255, 'a'), "\xFF\xFF" + std::string(1, '\0') + std::string(255, 'a')},
    {"4094 bytes", std::string(4094, 'b'), "\xFF\xFE\x0F" + std::string(4094, 'b')},
    {"4095 bytes are cut to 4094", std::string(4095, 'c'), "\xFF\xFE\x0F" + std::string(4094, 'c')},
    {"5000 bytes are cut to 4094", std::string(5000, 'd'), "\xFF\xFE\x0F" + std::string(4094, 'd')},
    {"Japanese in Shift_JIS", "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", "\x06\x83\x65\x83\x58\x83\x67"},
    {"127 kana are 254 bytes after conversion", kana(127), "\xFE" + kanaSjis(127)},
    {"128 kana are 256 bytes after conversion", kana(128), std::string("\xFF\x00\x01", 3) + kanaSjis(128)},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Encoders, TextEncoding, ::testing::ValuesIn(kTexts));

tagHEADERSTRUCT mac01Header(uint32_t version) {
    tagHEADERSTRUCT h;
    h.magic = "KX20";
    h.formatVersion = version;
    h.computerName = "mac01";
    h.fileKind = 12;
    h.agentVersion = "1.0.0.2";
    h.categoryCode = 5;
    h.startTime = 0x100000002LL; // beyond 32 bits
    h.endTime = 1500000000;
    h.machineUuid = "U-1";
    h.extensionFlag = 1;
    return h;
}

std::string header(const tagHEADERSTRUCT& h) {
    std::vector<unsigned char> buffer(M::kHeaderBufferSize);
    int length = -1;
    M::FormatHeaderData(h, buffer.data(), length);
    return encoded(buffer.data(), length);
}

TEST(HeaderEncoding, HardwareHeaderOfMac01) {
    const std::string expected = KxBytes()
                                     .text("KX20")
                                     .u32(10012)
                                     .u32(0)
                                     .text("mac01")
                                     .u32(12)
                                     .text("1.0.0.2")
                                     .u32(5)
                                     .u32(2)
                                     .u32(1500000000)
                                     .u32(1)
                                     .text("U-1")
                                     .bytes;
    EXPECT_EQ(hex(header(mac01Header(10012))), hex(expected));
    EXPECT_EQ(hex(header(mac01Header(10012)).substr(0, 23)),
              "04 4B 58 32 30 1C 27 00 00 00 00 00 00 05 6D 61 63 30 31 0C 00 00 00 ");
}

struct VersionCase {
    uint32_t version;
    bool extended;
};
void PrintTo(const VersionCase& c, std::ostream* os) { *os << "version " << c.version; }
class HeaderVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(HeaderVersion, ExtensionFlagAndUuidFollowFromVersion10004On) {
    KxBytes expected;
    expected.text("KX20")
        .u32(GetParam().version)
        .u32(0)
        .text("mac01")
        .u32(12)
        .text("1.0.0.2")
        .u32(5)
        .u32(2)
        .u32(1500000000);
    if (GetParam().extended)
        expected.u32(1).text("U-1");
    EXPECT_EQ(hex(header(mac01Header(GetParam().version))), hex(expected.bytes));
}
INSTANTIATE_TEST_SUITE_P(Encoders, HeaderVersion,
                         ::testing::Values(VersionCase{0, false}, VersionCase{10003, false},
                                           VersionCase{10004, true}, VersionCase{10012, true},
                                           VersionCase{0x80000000u, true}));

TEST(HeaderEncoding, LargestHeaderFillsTheWholeBuffer) {
    tagHEADERSTRUCT h = mac01Header(10012);
    h.magic = h.computerName = h.agentVersion = h.machineUuid = std::string(5000, 'x');
    EXPECT_EQ(header(h).size(), static_cast<size_t>(M::kHeaderBufferSize));
}

} // namespace
