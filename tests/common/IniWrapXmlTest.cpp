#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "common/IniWrapXml.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

namespace fs = boost::filesystem;

namespace {

class IniWrapXmlFile : public ::testing::Test {
protected:
    std::string write(const std::string& content) {
        const fs::path file = dir / "config.ini";
        kxtest::writeFile(file, content);
        return file.string();
    }

    const kxtest::TempFolder temporary{"kx-ini"};
    const fs::path dir = temporary.path();
};

struct Case {
    const char* what;
    std::string xml;
    const char* section;
    const char* key;
    std::string text; // expected string lookup, default "DEF"
    int number;       // expected integer lookup, default -7
};

const std::vector<Case> kCases = {
    {"plain value", "<KX><Config><Server>host</Server></Config></KX>", "Config", "Server", "host",
     0},
    {"number", "<KX><Config><Port>8080</Port></Config></KX>", "Config", "Port", "8080", 8080},
    {"number followed by letters", "<KX><Config><Port>8080x</Port></Config></KX>", "Config", "Port",
     "8080x", 8080},
    {"letters only", "<KX><Config><Port>abc</Port></Config></KX>", "Config", "Port", "abc", 0},
    {"blank before number", "<KX><Config><Port> 443</Port></Config></KX>", "Config", "Port", " 443",
     443},
    {"negative number", "<KX><Config><SSL>-1</SSL></Config></KX>", "Config", "SSL", "-1", -1},
    {"blanks around value stay", "<KX><Config><Server>  host \t</Server></Config></KX>", "Config",
     "Server", "  host \t", 0},
    {"empty element with closing tag", "<KX><Config><Port></Port></Config></KX>", "Config", "Port",
     "", -7},
    {"self-closing element", "<KX><Config><Port/></Config></KX>", "Config", "Port", "", -7},
    {"blanks only", "<KX><Config><Port>   </Port></Config></KX>", "Config", "Port", "", -7},
    {"entity reference", "<KX><Config><Password>a&amp;b</Password></Config></KX>", "Config",
     "Password", "a&b", 0},
    {"character reference", "<KX><Config><Password>&#x41;&#66;</Password></Config></KX>", "Config",
     "Password", "AB", 0},
    {"CDATA section", "<KX><Config><Password><![CDATA[<p&w>]]></Password></Config></KX>", "Config",
     "Password", "<p&w>", 0},
    {"missing key", "<KX><Config><Server>host</Server></Config></KX>", "Config", "Port", "DEF", -7},
    {"missing section", "<KX><Other><Port>1</Port></Other></KX>", "Config", "Port", "DEF", -7},
    {"only the first section is searched",
     "<KX><Config><Server>a</Server></Config><Config><Port>9</Port></Config></KX>", "Config",
     "Port", "DEF", -7},
    {"first of two keys", "<KX><Config><Port>1</Port><Port>2</Port></Config></KX>", "Config",
     "Port", "1", 1},
    {"section names are case-sensitive", "<KX><config><Port>1</Port></config></KX>", "Config",
     "Port", "DEF", -7},
    {"key names are case-sensitive", "<KX><Config><port>1</port></Config></KX>", "Config", "Port",
     "DEF", -7},
    {"declaration and comment before the root",
     "<?xml version=\"1.0\"?>\n<!-- settings -->\n<Root><Config><Port>21</Port></Config></Root>",
     "Config", "Port", "21", 21},
    {"root name is not examined", "<anything><Config><Port>5</Port></Config></anything>", "Config",
     "Port", "5", 5},
    {"sections sit under the root only", "<Config><Port>5</Port></Config>", "Config", "Port", "DEF",
     -7},
    {"malformed XML", "<KX><Config><Port>5</Port></Config>", "Config", "Port", "DEF", -7},
    {"empty file", "", "Config", "Port", "DEF", -7},
    {"UTF-8 byte-order mark", "\xEF\xBB\xBF<KX><Config><Server>h\xC3\xA9</Server></Config></KX>",
     "Config", "Server", "h\xC3\xA9", 0},
    {"CRLF inside a value is normalised", "<KX><Config><Server>a\r\nb</Server></Config></KX>",
     "Config", "Server", "a\nb", 0},
};

TEST_F(IniWrapXmlFile, LookupsFollowTheTableOfCases) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const std::string file = write(c.xml);
        std::string text = "previous";
        IniWrapXml::GetPrivateProfileString(c.section, c.key, "DEF", text, 1024, file.c_str());
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(IniWrapXml::GetPrivateProfileInt(c.section, c.key, -7, file.c_str()), c.number);
    }
}

TEST_F(IniWrapXmlFile, MissingFileGivesTheDefaults) {
    const std::string file = (dir / "absent.ini").string();
    std::string text = "previous";
    IniWrapXml::GetPrivateProfileString("Config", "Server", "fallback", text, 1024, file.c_str());
    EXPECT_EQ(text, "fallback");
    EXPECT_EQ(IniWrapXml::GetPrivateProfileInt("Config", "Port", 80, file.c_str()), 80);
}

TEST_F(IniWrapXmlFile, SizeArgumentNeverTruncates) {
    const std::string value(2000, 'v');
    const std::string file = write("<KX><Config><Server>" + value + "</Server></Config></KX>");
    std::string text;
    IniWrapXml::GetPrivateProfileString("Config", "Server", "", text, 1024, file.c_str());
    EXPECT_EQ(text, value);
    const std::string longDefault(1500, 'd');
    IniWrapXml::GetPrivateProfileString("Config", "Missing", longDefault.c_str(), text, 1,
                                        file.c_str());
    EXPECT_EQ(text, longDefault);
}

TEST_F(IniWrapXmlFile, CheckNamesWhatAnAdministratorMustHear) {
    const IniWrapXml::Layout known = {{"Config", {"Server", "Port"}}, {"Stop", {"Command1"}}};
    struct CheckCase {
        const char* what;
        std::string content;
        std::vector<std::string> problems; // after "<file>: "
    };
    const std::vector<CheckCase> cases = {
        {"known names only",
         "<?xml version=\"1.0\"?><KX><!-- c --><Config><Server>h</Server></Config></KX>",
         {}},
        {"classic INI",
         "[Config]\nServer=kx.example\n",
         {"not read as XML (No document element found at line 3, column 1); every value keeps its "
          "default"}},
        {"unclosed root",
         "<KX>\n  <Config><Port>5</Port></Config>\n",
         {"not read as XML (Start-end tags mismatch at line 2, column 34); every value keeps its "
          "default"}},
        {"mismatched tag",
         "<KX>\n<Config><Server>h</Sever></Config></KX>",
         {"not read as XML (Start-end tags mismatch at line 2, column 20); every value keeps its "
          "default"}},
        {"empty file",
         "",
         {"not read as XML (No document element found at line 1, column 1); every value keeps its "
          "default"}},
        {"unknown key and section, each once",
         "<KX><Config><Sever>h</Sever><Sever>i</Sever><Port>1</Port></Config><Updat/><Updat/>"
         "<Stop><Command1>a</Command1><Command10>b</Command10></Stop></KX>",
         {"unknown key <Config/Sever> ignored", "unknown section <Updat> ignored",
          "unknown key <Stop/Command10> ignored"}},
        {"names are case-sensitive",
         "<KX><config><Port>1</Port></config></KX>",
         {"unknown section <config> ignored"}},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = write(c.content);
        std::vector<std::string> expected;
        for (const std::string& problem : c.problems)
            expected.push_back(file + ": " + problem);
        EXPECT_EQ(IniWrapXml::Check(file.c_str(), known), expected);
    }
}

TEST_F(IniWrapXmlFile, CheckIsSilentForAMissingFileAndGivesTheReasonForAnUnreadableOne) {
    EXPECT_TRUE(IniWrapXml::Check((dir / "absent.ini").c_str(), {}).empty());
    const fs::path folder = dir / "folder.ini";
    fs::create_directories(folder);
    const std::vector<std::string> problems = IniWrapXml::Check(folder.c_str(), {});
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0],
              folder.string() + ": cannot be read (Is a directory); every value keeps its default");
}

} // namespace
