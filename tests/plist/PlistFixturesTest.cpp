// Lists written by Python's plistlib (fixtures/make_fixtures.py): the XML
// and the binary form of each tree read to equal trees with the values
// plistlib wrote.
#include <climits>

#include <gtest/gtest.h>

#include "tests/plist/PlistTestSupport.h"

using namespace plisttest;
using Plist::array_type;
using Plist::dictionary_type;

namespace {

boost::any readXml(const std::string& name) { return readFile(fixture("xml/" + name + ".xml")); }
boost::any readBinary(const std::string& name) {
    return readFile(fixture("binary/" + name + ".bplist"));
}

class BothSyntaxes : public ::testing::TestWithParam<const char*> {};

TEST_P(BothSyntaxes, XmlAndBinaryFormsReadToEqualTrees) {
    const boost::any xml = readXml(GetParam());
    const boost::any binary = readBinary(GetParam());
    EXPECT_EQ(difference(xml, binary), "");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, BothSyntaxes,
                         ::testing::Values("all_kinds", "integers", "counts", "unicode", "dates",
                                           "data", "empty_containers", "empty_root_array",
                                           "empty_root_dict", "scalar_root", "reals", "deep512"));

class EachSyntax : public ::testing::TestWithParam<bool> {
protected:
    boost::any read(const std::string& name) {
        return GetParam() ? readBinary(name) : readXml(name);
    }
};

TEST_P(EachSyntax, EveryObjectKindReadsToItsHeldType) {
    const auto root = boost::any_cast<dictionary_type>(read("all_kinds"));
    EXPECT_EQ(
        boost::any_cast<std::string>(boost::any_cast<dictionary_type>(root.at("dict")).at("key")),
        "value");
    const auto array = boost::any_cast<array_type>(root.at("array"));
    ASSERT_EQ(array.size(), 3u);
    EXPECT_EQ(boost::any_cast<std::string>(array[0]), "one");
    EXPECT_EQ(boost::any_cast<long long>(array[1]), 2);
    EXPECT_EQ(boost::any_cast<double>(array[2]), 3.5);
    EXPECT_EQ(boost::any_cast<std::string>(root.at("string")), "text");
    EXPECT_EQ(boost::any_cast<long long>(root.at("integer")), 42);
    EXPECT_EQ(boost::any_cast<double>(root.at("real")), -0.125);
    EXPECT_TRUE(boost::any_cast<bool>(root.at("true")));
    EXPECT_FALSE(boost::any_cast<bool>(root.at("false")));
    EXPECT_EQ(boost::any_cast<Plist::Date>(root.at("date")).timeAsEpoch(), 1520139967);
    EXPECT_EQ(boost::any_cast<std::vector<char>>(root.at("data")),
              std::vector<char>({'H', 'e', 'l', 'l', 'o'}));
}

TEST_P(EachSyntax, IntegersOfEveryWidthKeepTheirValues) {
    const auto values = boost::any_cast<array_type>(read("integers"));
    const std::vector<long long> expected = {
        0,         1,  255, 256,           65535,    65536, 4294967295LL, 4294967296LL,
        LLONG_MAX, -1, -2,  -4294967296LL, LLONG_MIN};
    ASSERT_EQ(values.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(boost::any_cast<long long>(values[i]), expected[i]) << "index " << i;
}

TEST_P(EachSyntax, LongStringsArraysDictionariesAndDataKeepTheirCounts) {
    const auto root = boost::any_cast<dictionary_type>(read("counts"));
    EXPECT_EQ(boost::any_cast<std::string>(root.at("string15")), std::string(15, 'b'));
    EXPECT_EQ(boost::any_cast<std::string>(root.at("string70000")), std::string(70000, 'd'));
    EXPECT_EQ(boost::any_cast<array_type>(root.at("array300")).size(), 300u);
    EXPECT_EQ(boost::any_cast<long long>(boost::any_cast<array_type>(root.at("array16"))[15]), 115);
    EXPECT_EQ(boost::any_cast<dictionary_type>(root.at("dict15")).size(), 15u);
    EXPECT_EQ(boost::any_cast<std::vector<char>>(root.at("data300")).size(), 300u);
    std::string accents;
    for (int i = 0; i < 15; ++i)
        accents += "\xC3\xA9";
    EXPECT_EQ(boost::any_cast<std::string>(root.at("utf16_15")), accents);
}

TEST_P(EachSyntax, Utf16StringsAndKeysBecomeUtf8) {
    const auto root = boost::any_cast<dictionary_type>(read("unicode"));
    EXPECT_EQ(boost::any_cast<std::string>(root.at("latin")), "caf\xC3\xA9");
    EXPECT_EQ(
        boost::any_cast<std::string>(root.at("surrogate")),
        "\xF0\xA0\xAE\xB7\xE7\x94\xB0\xE3\x81\x95\xE3\x82\x93\xE3\x81\xAE\xE5\x90\x8D\xE7\xB0\xBF");
    EXPECT_EQ(boost::any_cast<std::string>(root.at("emoji")), "a\xF0\x9F\x98\x80"
                                                              "b");
    EXPECT_EQ(boost::any_cast<std::string>(root.at("\xE3\x83\xA1\xE3\x83\xA2")), "key in UTF-16");
    EXPECT_EQ(boost::any_cast<std::string>(root.at("\xF0\xA0\xAE\xB7")),
              "key with a surrogate pair");
}

TEST_P(EachSyntax, DatesBeforeAndAfter2001AreSecondsSince1970) {
    const auto dates = boost::any_cast<array_type>(read("dates"));
    const std::vector<long long> expected = {-301233600, 0,          946684799,    978307200,
                                             978307201,  1520139967, 2147483648LL, 4107538800LL};
    ASSERT_EQ(dates.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(boost::any_cast<Plist::Date>(dates[i]).timeAsEpoch(), expected[i])
            << "index " << i;
}

TEST_P(EachSyntax, EmptyContainersStayEmpty) {
    const auto root = boost::any_cast<dictionary_type>(read("empty_containers"));
    EXPECT_TRUE(boost::any_cast<array_type>(root.at("array")).empty());
    EXPECT_TRUE(boost::any_cast<dictionary_type>(root.at("dict")).empty());
    EXPECT_EQ(boost::any_cast<std::string>(root.at("string")), "");
    EXPECT_TRUE(boost::any_cast<array_type>(read("empty_root_array")).empty());
    EXPECT_TRUE(boost::any_cast<std::vector<char>>(
                    boost::any_cast<dictionary_type>(read("data")).at("empty"))
                    .empty());
}

TEST_P(EachSyntax, NestingOneLevelBeyond512Fails) {
    EXPECT_NO_THROW(read("deep512"));
    EXPECT_EQ(failureOf([&] { read("deep513"); }),
              "Plist: containers nested deeper than 512 levels");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EachSyntax, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "Binary" : "Xml"; });

TEST(BinaryFixtures, SixteenByteIntegersKeepTheirLowEightBytes) {
    const auto values = boost::any_cast<array_type>(readBinary("integer16"));
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(boost::any_cast<long long>(values[0]), -1);
    EXPECT_EQ(boost::any_cast<long long>(values[1]), LLONG_MIN);
}

} // namespace
