// Installed packages: "app" alone (the third field is the installation time)
// or "app" with "app_install" (the third field is a key into the log).
#include <gtest/gtest.h>

#include <vector>

#include "tests/linux/LinuxTestSupport.h"

namespace {

using namespace linuxtest;

struct Package {
    std::string name;
    std::string version;
    int64_t installTime;
    bool operator==(const Package& other) const {
        return name == other.name && version == other.version && installTime == other.installTime;
    }
};

void PrintTo(const Package& p, std::ostream* out) {
    *out << "{\"" << p.name << "\", \"" << p.version << "\", " << p.installTime << "}";
}

enum class Reader { RestDists, Ubuntu };

std::vector<Package> read(Reader reader, const InputFiles& files) {
    const ResultFolder folder(files);
    tagWMISTRUCT record;
    OpenSWManager manager(folder.path(), record);
    std::vector<tagAPPLIDATASTRUCT> out;
    if (reader == Reader::Ubuntu)
        manager.loadForUbuntu(out);
    else
        manager.loadForRestDists(out);
    std::vector<Package> packages;
    for (const tagAPPLIDATASTRUCT& app : out) {
        EXPECT_EQ(app.reservedText1 + app.reservedText2, "");
        EXPECT_EQ(app.reservedNumber, 0);
        packages.push_back({app.name, app.version, static_cast<int64_t>(app.installTime)});
    }
    return packages;
}

struct PackageCase {
    const char* what;
    InputFiles files;
    std::vector<Package> packages;
};

void PrintTo(const PackageCase& c, std::ostream* out) { *out << c.what; }

const PackageCase kRestDistsCases[] = {
    {"NameVersionTime", {{"app", "bash 4.4 1500000000\n"}}, {{"bash", "4.4", 1500000000}}},
    {"RunsOfBlanksAreOneSeparator",
     {{"app", "bash  4.4   1500000000\n"}},
     {{"bash", "4.4", 1500000000}}},
    {"TwoFieldsIgnored", {{"app", "bash 4.4\nzsh 5.8 1\n"}}, {{"zsh", "5.8", 1}}},
    {"FourthFieldIgnored",
     {{"app", "bash 4.4 1500000000 x86_64\n"}},
     {{"bash", "4.4", 1500000000}}},
    {"TrailingBlankMakesEmptyThirdField", {{"app", "bash 4.4 \n"}}, {{"bash", "4.4", 0}}},
    {"LeadingBlankMakesEmptyName", {{"app", " bash 4.4 7\n"}}, {{"", "bash", 4}}},
    {"TimeDigitsUpToFirstOther",
     {{"app", "a 1 123abc\nb 1 abc\n"}},
     {{"a", "1", 123}, {"b", "1", 0}}},
    {"TimeBeyond64BitsIsZero", {{"app", "a 1 99999999999999999999999\n"}}, {{"a", "1", 0}}},
    {"CarriageReturnEndsTheNumber", {{"app", "a 1 1500000000\r\n"}}, {{"a", "1", 1500000000}}},
    {"TabsAreNoSeparator", {{"app", "bash\t4.4\t1500000000\n"}}, {}},
    {"DuplicatesKept", {{"app", "a 1 2\na 1 2"}}, {{"a", "1", 2}, {"a", "1", 2}}},
    {"MissingFile", {}, {}},
};

class RestDists : public ::testing::TestWithParam<PackageCase> {};

TEST_P(RestDists, OneRecordPerLineOfThreeFields) {
    EXPECT_EQ(read(Reader::RestDists, GetParam().files), GetParam().packages);
}

INSTANTIATE_TEST_SUITE_P(LinuxPackages, RestDists, ::testing::ValuesIn(kRestDistsCases),
                         [](const auto& test) { return std::string(test.param.what); });

// Local times below are UTC: 2019-03-04 05:06:07 is 1551675967.
const PackageCase kUbuntuCases[] = {
    {"DateFromLogByKey",
     {{"app_install", "2019-03-04 05:06:07 install bash\n"}, {"app", "bash 4.4 bash\n"}},
     {{"bash", "4.4", 1551675967}}},
    {"LaterLogLineWins",
     {{"app_install", "2018-01-01 00:00:00 install bash\n2019-03-04 05:06:07 install bash\n"},
      {"app", "bash 4.4 bash\n"}},
     {{"bash", "4.4", 1551675967}}},
    {"KeyNotInLogIsZeroAfterDatedLine",
     {{"app_install", "2019-03-04 05:06:07 install bash\n"},
      {"app", "bash 4.4 bash\nzsh 5.8 zsh\n"}},
     {{"bash", "4.4", 1551675967}, {"zsh", "5.8", 0}}},
    {"CarriageReturnStaysInKey",
     {{"app_install", "2019-03-04 05:06:07 install bash\n2019-03-04 05:06:07 install zsh\r\n"},
      {"app", "bash 4.4 bash\r\nzsh 5.8 zsh\r\n"}},
     {{"bash", "4.4", 0}, {"zsh", "5.8", 1551675967}}},
    {"KeyIsEverythingAfterMarker",
     {{"app_install", "2015-02-18 19:33:20 install base-passwd:amd64 <none> 3.5.33\n"
                      "2015-02-18 19:33:20 install base-files:amd64\n"},
      {"app", "base-passwd 3.5.33 base-passwd:amd64\nbase-files 7.2 base-files:amd64\n"}},
     {{"base-passwd", "3.5.33", 0}, {"base-files", "7.2", 1424288000}}},
    {"SeparatorsNotChecked",
     {{"app_install", "2019/03/04T05-06-07 install bash\n"}, {"app", "bash 4.4 bash\n"}},
     {{"bash", "4.4", 1551675967}}},
    {"DateTooShortIsNoDate",
     {{"app_install", "2019-03-04 05:06 install bash\n install zsh\n"},
      {"app", "bash 4.4 bash\nzsh 5.8 zsh\n"}},
     {{"bash", "4.4", 0}, {"zsh", "5.8", 0}}},
    {"LinesWithoutMarkerIgnored",
     {{"app_install",
       "2019-03-04 05:06:07 startup archives install\n2019-03-04 05:06:07 installed bash\n"},
      {"app", "bash 4.4 bash\n"}},
     {{"bash", "4.4", 0}}},
    {"MissingLogGivesNoDates",
     {{"app", "bash 4.4 bash\nvim 8 vim\n"}},
     {{"bash", "4.4", 0}, {"vim", "8", 0}}},
    {"TwoFieldsIgnored", {{"app_install", ""}, {"app", "bash 4.4\n"}}, {}},
    {"MissingPackageList", {{"app_install", "2019-03-04 05:06:07 install bash\n"}}, {}},
};

class Ubuntu : public ::testing::TestWithParam<PackageCase> {};

TEST_P(Ubuntu, DatesFromInstallationLog) {
    const kxtest::LocalZone utc;
    EXPECT_EQ(read(Reader::Ubuntu, GetParam().files), GetParam().packages);
}

INSTANTIATE_TEST_SUITE_P(LinuxPackages, Ubuntu, ::testing::ValuesIn(kUbuntuCases),
                         [](const auto& test) { return std::string(test.param.what); });

TEST(LinuxPackages, AppendsToWhatTheListHolds) {
    const ResultFolder folder(InputFiles{{"app", "a 1 2\n"}});
    tagWMISTRUCT record;
    OpenSWManager manager(folder.path(), record);
    std::vector<tagAPPLIDATASTRUCT> out(1);
    manager.loadForRestDists(out);
    manager.loadForUbuntu(out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].name, "a");
    EXPECT_EQ(out[2].name, "a");
}

} // namespace
