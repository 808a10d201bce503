// The release text in "os": family by the first line holding a known word,
// then that family's rule for name and version.
#include <gtest/gtest.h>

#include "inventory/CLinuxVersionParser.h"
#include "tests/linux/LinuxTestSupport.h"

namespace {

using namespace linuxtest;

struct ReleaseCase {
    const char* what;
    std::string text;
    std::string distribution;
    std::string version;
};

const ReleaseCase kReleaseCases[] = {
    {"CentOSLineIsNameAndItsNumbers", "CentOS Linux release 7.6.1810 (Core)\n",
     "CentOS Linux release 7.6.1810 (Core)", "7.6.1810"},
    {"RedHatVersion", "Red Hat Enterprise Linux Server release 7.6 (Maipo)\n",
     "Red Hat Enterprise Linux Server release 7.6 (Maipo)", "7.6"},
    {"FedoraVersion", "Fedora release 30 (Thirty)\n", "Fedora release 30 (Thirty)", "30"},
    {"UbuntuDescriptionWithoutQuotes",
     "DISTRIB_ID=Ubuntu\nDISTRIB_RELEASE=18.04\nDISTRIB_CODENAME=bionic\n"
     "DISTRIB_DESCRIPTION=\"Ubuntu 18.04.3 LTS\"\n",
     "Ubuntu 18.04.3 LTS", "18.04.3"},
    {"UbuntuDescriptionKeptWhenLinesFollow",
     "DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\"Ubuntu 18.04.3 LTS\"\nDISTRIB_CODENAME=bionic\n",
     "Ubuntu 18.04.3 LTS", "18.04.3"},
    {"UbuntuLastDescriptionWins",
     "DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\"Ubuntu 16.04 LTS\"\nDISTRIB_DESCRIPTION=\"Ubuntu "
     "18.04 LTS\"\n",
     "Ubuntu 18.04 LTS", "18.04"},
    {"UbuntuWithoutDescription", "DISTRIB_ID=Ubuntu\nDISTRIB_RELEASE=18.04\n", "Ubuntu", ""},
    {"UbuntuDescriptionTooShortNamesNothing", "DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\n", "", ""},
    {"UbuntuDescriptionOfOnlyTheQuote", "DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\"\"\n", "", ""},
    {"UbuntuDescriptionOfOneCharacter", "DISTRIB_ID=Ubuntu\nDISTRIB_DESCRIPTION=\"U\"\n", "U", ""},
    {"UbuntuBeforeDebianOnOneLine", "Ubuntu is based on Debian 9.8\n", "Ubuntu", ""},
    {"DebianNamePrefixedToFirstLine", "9.8\nDebian GNU/Linux\n", "Debian 9.8", "9.8"},
    {"SuseVersionKeepsBlankAfterEquals",
     "SUSE Linux Enterprise Server 12 (x86_64)\nVERSION = 12\nPATCHLEVEL = 1\n",
     "SUSE Linux Enterprise Server 12 (x86_64)", " 12"},
    {"SuseLastLinesWin", "SUSE 11\nVERSION=11\nopenSUSE 12\nVERSION 12\n", "openSUSE 12",
     "VERSION 12"},
    {"SuseWithoutVersionLine", "SUSE Linux\n", "SUSE Linux", ""},
    {"MandrivaFirstLineTwice", "Mandriva Linux release 2011.0 (turtle) for x86_64\n",
     "Mandriva Linux release 2011.0 (turtle) for x86_64",
     "Mandriva Linux release 2011.0 (turtle) for x86_64"},
    {"WordOnLaterLineStillReadsFirstLine", "Welcome\nFedora release 30\n", "Welcome", ""},
    {"NoWordMeansFirstLineRule", "Slackware 14.1\n", "Slackware 14.1", "14.1"},
    {"CarriageReturnStaysInTheLine", "Gentoo Base System release 2.6\r\n",
     "Gentoo Base System release 2.6\r", "2.6"},
    {"LastLineWithoutLineFeed", "Arch Linux 2024", "Arch Linux 2024", "2024"},
    {"EmptyFile", "", "", ""},
};

class ReleaseText : public ::testing::TestWithParam<ReleaseCase> {};

TEST_P(ReleaseText, GivesNameAndVersion) {
    const ResultFolder folder(InputFiles{{"os", GetParam().text}});
    CLinuxVersionParser parser;
    parser.parse(boost::filesystem::path(folder.path()) / "os");
    EXPECT_EQ(parser.distribution, GetParam().distribution);
    EXPECT_EQ(parser.version, GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(Families, ReleaseText, ::testing::ValuesIn(kReleaseCases),
                         [](const auto& test) { return std::string(test.param.what); });

TEST(ReleaseParser, MissingFileClearsEarlierResult) {
    const ResultFolder folder(InputFiles{{"os", "Fedora release 30\n"}});
    CLinuxVersionParser parser;
    parser.parse(boost::filesystem::path(folder.path()) / "os");
    ASSERT_EQ(parser.version, "30");
    parser.parse(boost::filesystem::path(folder.path()) / "missing");
    EXPECT_EQ(parser.distribution, "");
    EXPECT_EQ(parser.version, "");
}

TEST(ExtractVersion, KeepsDigitsAndDotsOfEveryPiece) {
    const std::pair<std::string, std::string> cases[] = {
        {"release 7.6 (x86_64)", "7.6 8664"},
        {"Arch Linux", ""},
        {"  v1   r2  ", "1 2"},
        {"a\t1.0", "1.0"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CLinuxVersionParser::extractVersion(c.first), c.second) << c.first;
}

} // namespace
