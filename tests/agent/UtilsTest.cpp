#include <map>
#include <regex>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "common/utils.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

namespace fs = boost::filesystem;

namespace {

class WmiTextFile : public ::testing::Test {
protected:
    fs::path write(const std::string& content) {
        const fs::path file = dir / "input";
        kxtest::writeFile(file, content);
        return file;
    }

    kxtest::TempFolder dir{"kx-utils"};
};

TEST(Trim, RemovesAsciiWhiteSpaceAtBothEndsOnly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"  a\t\n", "a"},
        {"a  b", "a  b"},
        {"", ""},
        {"   ", ""},
        {" \t\n\v\f\r", ""},
        {"\r\nvalue\r\n", "value"},
        {"\xE3\x80\x80x\xE3\x80\x80",
         "\xE3\x80\x80x\xE3\x80\x80"}, // ideographic space is not ASCII
        {"\xC2\xA0x", "\xC2\xA0x"},    // nor is the no-break space
        {std::string("\0x", 2), std::string("\0x", 2)},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(wmi::trim(input), expected) << "input: " << input;
}

struct MapCase {
    const char* what;
    std::string content;
    std::map<std::string, std::string> expected;
};

TEST_F(WmiTextFile, ParseMapReadsKeyColonValueLines) {
    const std::string longValue(5000, 'v');
    const std::vector<MapCase> cases = {
        {"values trimmed, inner colons kept, lines without colon skipped",
         "Name: first\nOther:  a:b:c \nno colon here\n",
         {{"Name", "first"}, {"Other", "a:b:c"}}},
        {"last value of a repeated key wins", "k: 1\nk: 2\nk:3", {{"k", "3"}}},
        {"CRLF endings", "a: 1\r\nb : 2\r\n", {{"a", "1"}, {"b", "2"}}},
        {"last line without line feed", "a: 1\nb: 2", {{"a", "1"}, {"b", "2"}}},
        {"empty key", ": value\n", {{"", "value"}}},
        {"empty value", "key:\n", {{"key", ""}}},
        {"empty file", "", {}},
        {"line longer than 511 characters is read whole",
         "long: " + longValue + "\nafter: yes\n",
         {{"long", longValue}, {"after", "yes"}}},
        {"NUL bytes inside a line", std::string("a: x\0y\n", 7), {{"a", std::string("x\0y", 3)}}},
    };
    for (const MapCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(wmi::parseMap(write(c.content)), c.expected);
    }
}

TEST_F(WmiTextFile, ParseMapOfMissingFileOrFolderIsEmpty) {
    EXPECT_TRUE(wmi::parseMap(dir / "absent").empty());
    EXPECT_TRUE(wmi::parseMap(dir.path()).empty());
}

TEST_F(WmiTextFile, SingleLineIsTheFirstLineTrimmed) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"  first\nsecond\n", "first"},
        {"only", "only"},
        {"", ""},
        {"\nsecond", ""},
        {"host\r\n", "host"},
        {std::string(3000, 'h') + "\n", std::string(3000, 'h')},
    };
    for (const auto& [content, expected] : cases)
        EXPECT_EQ(wmi::singleLine(write(content)), expected);
    EXPECT_EQ(wmi::singleLine(dir / "absent"), "");
    EXPECT_EQ(wmi::singleLine(dir.path()), "");
}

TEST(UTF8toSJIS, ConvertsOrReturnsTheInputUnchanged) {
    struct Case {
        const char* what;
        std::string input;
        std::string expected;
    };
    const std::string longAscii(1023, 'a');
    const std::string tooLongAscii(1024, 'a');
    std::string kana512;
    for (int i = 0; i < 512; ++i)
        kana512 += "\xE3\x82\xA2"; // ア: 2 bytes in Shift_JIS, 1024 in all
    const std::vector<Case> cases = {
        {"ASCII stays", "abc 123", "abc 123"},
        {"kana and kanji take two bytes", "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x82\xAB",
         "\x93\xFA\x96\x7B\x83\x4A"},
        {"empty", "", ""},
        {"1023 bytes fit", longAscii, longAscii},
        {"1024 bytes do not fit", tooLongAscii, tooLongAscii},
        {"kana needing 1024 bytes do not fit", kana512, kana512},
        {"text ends at the first NUL", std::string("ab\0cd", 5), "ab"},
        {"a character without a Shift_JIS form is transliterated", "\xE2\x82\xAC", "EUR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(wmi::UTF8toSJIS(c.input), c.expected);
    }
}

TEST(CurrentTime, FormatsTheLocalTime) {
    EXPECT_TRUE(std::regex_match(wmi::currentTime("%Y%m%d"), std::regex("[0-9]{8}")));
    EXPECT_TRUE(
        std::regex_match(wmi::currentTime("%Y/%m/%d %H:%M:%S"),
                         std::regex("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}")));
    EXPECT_EQ(wmi::currentTime(""), "");
    EXPECT_LE(wmi::currentTime(std::string(100, 'x')).size(), 79u);
}

TEST(Format, FormatsLikePrintfCutTo511) {
    EXPECT_EQ(wmi::format("%d", 42), "42");
    EXPECT_EQ(wmi::format("KX-%d-%02d%s.dat", 0, 1, "20240305090702"), "KX-0-0120240305090702.dat");
    EXPECT_EQ(wmi::format("%s", std::string(600, 'x').c_str()), std::string(511, 'x'));
    EXPECT_EQ(wmi::format("%s", ""), "");
}

} // namespace
