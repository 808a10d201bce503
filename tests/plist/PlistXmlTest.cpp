// The XML reader: each element's conversion and each failure message.
#include <gtest/gtest.h>

#include "tests/plist/PlistTestSupport.h"

using namespace plisttest;
using Plist::array_type;
using Plist::dictionary_type;

namespace {

std::string inPlist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n" +
           body + "\n</plist>\n";
}

struct XmlCase {
    const char* name;
    std::string document;
    boost::any expected; // empty when the read must fail
    std::string failure;
};

std::ostream& operator<<(std::ostream& out, const XmlCase& c) { return out << c.name; }

dictionary_type dict(std::initializer_list<std::pair<const std::string, boost::any>> entries) {
    return dictionary_type(entries);
}

std::vector<char> bytes(const std::string& text) {
    return std::vector<char>(text.begin(), text.end());
}

// A document in UTF-16, little-endian, with its byte-order mark.
std::string utf16le(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

const std::string prefix = "Plist: XML dictionary value expected for key ";

const XmlCase xmlCases[] = {
    {"NegativeInteger", inPlist("<integer>-5</integer>"), -5LL, ""},
    {"IntegerStopsAtFirstNonDigit", inPlist("<integer>12abc</integer>"), 12LL, ""},
    {"EmptyIntegerIsZero", inPlist("<integer/>"), 0LL, ""},
    {"IntegerWithLeadingBlanks", inPlist("<integer>  7</integer>"), 7LL, ""},
    {"RealWithExponent", inPlist("<real>1e3</real>"), 1000.0, ""},
    {"MalformedRealIsZero", inPlist("<real>abc</real>"), 0.0, ""},
    {"EmptyString", inPlist("<string></string>"), std::string(), ""},
    {"BlankStringIsEmpty", inPlist("<string>   </string>"), std::string(), ""},
    {"EntityReferenceDecoded", inPlist("<string>a &amp; b &#x41;</string>"), std::string("a & b A"),
     ""},
    {"CdataString", inPlist("<string><![CDATA[a<b]]></string>"), std::string("a<b"), ""},
    {"OnlyFirstChildOfStringCounts", inPlist("<string>ab<![CDATA[cd]]></string>"),
     std::string("ab"), ""},
    {"CdataBeforeTextCounts", inPlist("<string><![CDATA[x]]>text</string>"), std::string("x"), ""},
    {"ElementBeforeTextGivesEmptyString", inPlist("<string><b/>text</string>"), std::string(), ""},
    {"CommentsAreSkipped", inPlist("<!-- before --><string>x</string>"), std::string("x"), ""},
    {"EmptyTrue", inPlist("<true/>"), true, ""},
    {"EmptyFalse", inPlist("<false/>"), false, ""},
    {"ContentOfTrueIgnored", inPlist("<true>no</true>"), true, ""},
    {"Base64Data", inPlist("<data>SGVsbG8=</data>"), bytes("Hello"), ""},
    {"Base64DataBrokenByBlanks", inPlist("<data>\n\tSGVs\n\tbG8 =\n</data>"), bytes("Hello"), ""},
    {"Base64WithoutPadding", inPlist("<data>QUJD</data>"), bytes("ABC"), ""},
    {"UnpaddedFinalGroupGivesNothing", inPlist("<data>QUJDQQ</data>"), bytes("ABC"), ""},
    {"EmptyData", inPlist("<data></data>"), bytes(""), ""},
    {"DateIsUtc", inPlist("<date>2018-03-04T05:06:07Z</date>"),
     Plist::Date(3, 4, 2018, 5, 6, 7, true), ""},
    {"EmptyDictionary", inPlist("<dict/>"), dictionary_type(), ""},
    {"EmptyArray", inPlist("<array></array>"), array_type(), ""},
    {"LastDuplicateKeyWins",
     inPlist("<dict><key>a</key><integer>1</integer><key>a</key><integer>2</integer></dict>"),
     dict({{"a", 2LL}}), ""},
    {"KeysSortedBytewise",
     inPlist("<dict><key>b</key><true/><key>B</key><false/><key></key><string>e</string></dict>"),
     dict({{"", std::string("e")}, {"B", false}, {"b", true}}), ""},
    {"ArrayInDocumentOrder", inPlist("<array><integer>2</integer><string>1</string></array>"),
     array_type({2LL, std::string("1")}), ""},
    {"Utf16Document", utf16le(u"\uFEFF<plist><string>\u00E9</string></plist>"),
     std::string("\xC3\xA9"), ""},

    {"KeyWithoutValue", inPlist("<dict><key>a</key></dict>"), {}, prefix + "abut not found"},
    {"KeyFollowedByKey",
     inPlist("<dict><key>a</key><key>b</key><string>x</string></dict>"),
     {},
     prefix + "abut found another key node"},
    {"ValueWhereKeyIsDue",
     inPlist("<dict><string>x</string></dict>"),
     {},
     "Plist: XML dictionary key expected but not found"},
    {"TextWhereKeyIsDue",
     inPlist("<dict>text</dict>"),
     {},
     "Plist: XML dictionary key expected but not found"},
    {"TextBeforeArrayElements",
     inPlist("<array>text<true/></array>"),
     {},
     "Plist: XML unknown node type "},
    {"TextAfterArrayElements",
     inPlist("<array><true/>text</array>"),
     {},
     "Plist: XML unknown node type "},
    {"TextAfterDictionaryValue",
     inPlist("<dict><key>a</key><true/>text</dict>"),
     {},
     "Plist: XML dictionary key expected but not found"},
    {"UnknownElement", inPlist("<foo>1</foo>"), {}, "Plist: XML unknown node type foo"},
    {"ElementNamesAreCaseSensitive", inPlist("<Dict/>"), {}, "Plist: XML unknown node type Dict"},
    {"UnknownElementInArray",
     inPlist("<array><true/><null/></array>"),
     {},
     "Plist: XML unknown node type null"},
    {"TextAsRoot", inPlist("just text"), {}, "Plist: XML unknown node type "},
    {"RootNotPlist", "<root><string>x</string></root>", {}, "Plist: XML unknown node type "},
    {"EmptyPlistElement", "<plist version=\"1.0\"/>", {}, "Plist: XML unknown node type "},
    {"NotXmlAtAll", "hello", {}, "Plist: XML parsed with error No document element found"},
    {"MismatchedTags",
     inPlist("<string>x</strin>"),
     {},
     "Plist: XML parsed with error Start-end tags mismatch"},
    {"UnclosedElement",
     "<plist><array>",
     {},
     "Plist: XML parsed with error Start-end tags mismatch"},
    {"DateWithoutZone",
     inPlist("<date>2018-03-04T05:06:07</date>"),
     {},
     "Plist: XML date not in the form YYYY-MM-DDThh:mm:ssZ: 2018-03-04T05:06:07"},
    {"DateWithoutTime",
     inPlist("<date>2018-03-04</date>"),
     {},
     "Plist: XML date not in the form YYYY-MM-DDThh:mm:ssZ: 2018-03-04"},
    {"EmptyDate", inPlist("<date/>"), {}, "Plist: XML date not in the form YYYY-MM-DDThh:mm:ssZ: "},
};

class XmlReading : public ::testing::TestWithParam<XmlCase> {};

TEST_P(XmlReading, ReadsToTheExpectedValueOrMessage) {
    const XmlCase& c = GetParam();
    boost::any value;
    const std::string failure = failureOf([&] { value = readBuffer(c.document); });
    EXPECT_EQ(failure, c.failure);
    if (!c.expected.empty() && failure.empty()) {
        EXPECT_EQ(difference(value, c.expected), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, XmlReading, ::testing::ValuesIn(xmlCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(XmlSteps, ElementsConvertOnTheirOwn) {
    pugi::xml_document document;
    ASSERT_TRUE(
        document.load_string("<dict><key>k</key><array><integer>1</integer></array></dict>"));
    pugi::xml_node node = document.first_child();
    const dictionary_type dictionary = Plist::parseDictionary(node);
    EXPECT_EQ(boost::any_cast<long long>(boost::any_cast<array_type>(dictionary.at("k"))[0]), 1);
    pugi::xml_node array = node.child("array");
    EXPECT_EQ(Plist::parseArray(array).size(), 1u);
    EXPECT_EQ(Plist::base64Decode("QQ==\n"), std::vector<char>({'A'}));
    EXPECT_EQ(Plist::base64Decode("QUI="), std::vector<char>({'A', 'B'}));
    EXPECT_TRUE(Plist::base64Decode("=QUJD").empty());
}

} // namespace
