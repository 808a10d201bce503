// The application list and the Acrobat edition.
#include "tests/mac/Describe.h"
#include "tests/mac/MacTestSupport.h"

using namespace mactest;

namespace {

class Applications : public ::testing::Test {
protected:
    Lines load() {
        std::vector<tagAPPLIDATASTRUCT> list;
        sw.loadForMac(list);
        return describe(list);
    }
    Lines load(const std::string& content) {
        writeFile(source / "app", content);
        return load();
    }
    // An Acrobat tag file at `relative` under the tag folder.
    void tagFile(const std::string& relative, const std::string& content) {
        const fs::path file = tags / relative;
        fs::create_directories(file.parent_path());
        writeFile(file, content);
    }
    static std::string tag(const std::string& serial) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
               "<swid:software_identification_tag "
               "xmlns:swid=\"http://standards.iso.org/iso/19770/-2/2008/schema.xsd\">\n"
               "  <swid:product_title>Acrobat DC</swid:product_title>\n"
               "  <swid:serial_number>" +
               serial +
               "</swid:serial_number>\n"
               "</swid:software_identification_tag>\n";
    }

    TempFolder temp;
    fs::path source = temp.folder("result");
    fs::path tags = temp.path() / "regid.1986-12.com.adobe";
    tagWMISTRUCT record;
    OpenSWManager sw{source.string(), temp.path().string(), record, tags.string()};
};

const std::string kAcrobatTag = "regid.1986-12.com.adobe_V7{}AcrobatESR-12-Mac-GM-en_US.swidtag";

std::string app(std::initializer_list<std::string> entries) { return dict(entries); }

TEST_F(Applications, RealListsGiveEveryNamedApplication) {
    const struct {
        const char* sample;
        size_t count;
        std::vector<std::pair<size_t, std::string>> spot; // position → record
    } cases[] = {
        {"applications/glpi-10.8-fr-SPApplicationsDataType.xml",
         291,
         {{0, "1246083529 | Programme d\xE2\x80\x99installation | 4.0"},
          {1, "1245301317 | Utilitaire d\xE2\x80\x99"
              "archive | 10.6"},
          {34, "1376485701 | autosetup | "},
          {290, "1242710886 | Aide-m\xC3\xA9moire | 7.0"}}},
        {"applications/glpi-macOS14-AppleSilicon-fr-SPApplicationsDataType.xml",
         362,
         {{0, "1711001603 | Programme d\xE2\x80\x99installation d\xE2\x80\x99"
              "apps iOS | 1.0"},
          {284, "1713183835 | Adobe Acrobat Reader | 24.002.20687"},
          {351, "1708933232 | Adobe Acrobat Updater | 1 . 2 . 2"},
          {361, "1711579390 | Microsoft Defender | 101.24010.0017"}}},
        {"applications/ohai-10.7.5-MacBookPro8-2-SPApplicationsDataType-mini.xml",
         596,
         {{0, "1352247054 | VMware Fusion | 5.0.2"},
          {1, "1342224438 | Sublime Text 2 | Version 2.0.1, Build 2217"},
          {130, "1354325121 | fe | "},
          {131, "1354325121 | fe | "},
          {595, "1330293900 | iPhoto Library Upgrader | 8.1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        REQUIRE_SAMPLE(macSample(c.sample));
        fs::copy_file(macSample(c.sample), source / "app", fs::copy_options::overwrite_existing);
        const Lines list = load();
        ASSERT_EQ(list.size(), c.count);
        for (const auto& s : c.spot)
            EXPECT_EQ(list[s.first], s.second) << "at " << s.first;
    }
}

TEST_F(Applications, OnlyNamedDictionariesWithTheirOwnValues) {
    const Lines list = load(report({
        app({entry("_name", str("Safari")), entry("version", str("17.4")),
             entry("lastModified", date("2024-03-21T06:13:23Z")), entry("info", str("ignored"))}),
        app({entry("version", str("1.0")),
             entry("lastModified", date("2020-01-01T00:00:00Z"))}),   // no name
        app({entry("_name", str("")), entry("version", str("1.0"))}), // empty name
        str("Not an application"), array({app({entry("_name", str("Nested"))})}),
        app({entry("_name", str("Notes"))}), // no date after one with a date: 0
        app({entry("_name", integer(42)), entry("version", str("2.0"))}),
        app({entry("_name", str("Typed")), entry("version", integer(3)),
             entry("lastModified", str("2024-03-21"))}),
        app({entry("_name", str("Safari")), entry("version", str("17.4")),
             entry("lastModified", date("2024-03-21T06:13:23Z"))}), // duplicate kept
        app({entry("_name",
                   str("\xF0\xA0\xAE\xB7\xE7\x94\xB0\xE3\x81\x95\xE3\x82\x93")), // 𠮷田さん
             entry("version", str("\xE2\x85\xA0"))}),                            // Ⅰ
    }));
    EXPECT_EQ(list, (Lines{
                        "1711001603 | Safari | 17.4",
                        "0 | Notes | ",
                        "0 | Typed | ",
                        "1711001603 | Safari | 17.4",
                        "0 | \xF0\xA0\xAE\xB7\xE7\x94\xB0\xE3\x81\x95\xE3\x82\x93 | \xE2\x85\xA0",
                    }));
}

TEST_F(Applications, UnusableListGivesNoApplications) {
    EXPECT_EQ(load(), Lines{}); // no "app"
    const std::string named = app({entry("_name", str("Safari"))});
    const std::string cases[] = {
        "",
        "garbage",
        plist(dict({entry("_items", array({named}))})),
        plist(array({})),
        plist(array({str("x"), dict({entry("_items", array({named}))})})),
        plist(array({dict({entry("_items", str("x"))})})),
        plist(array({dict({})})),
        report({}),
    };
    for (const std::string& content : cases) {
        SCOPED_TRACE(content);
        EXPECT_EQ(load(content), Lines{});
    }
}

TEST_F(Applications, AcrobatNamedByItsEdition) {
    const struct {
        const char* situation;
        std::vector<std::pair<std::string, std::string>> files; // relative path → content
        const char* name;
    } cases[] = {
        {"no tag folder", {}, "Adobe Acrobat Standard"},
        {"professional serial",
         {{kAcrobatTag, tag("970712345678901234567890")}},
         "Adobe Acrobat Pro"},
        {"standard serial",
         {{kAcrobatTag, tag("106512345678901234567890")}},
         "Adobe Acrobat Standard"},
        {"9707 not at the start",
         {{kAcrobatTag, tag("109707345678901234567890")}},
         "Adobe Acrobat Standard"},
        {"empty serial", {{kAcrobatTag, tag("")}}, "Adobe Acrobat Standard"},
        {"in a sub-folder",
         {{"Acrobat DC/" + kAcrobatTag, tag("970700000000000000000000")}},
         "Adobe Acrobat Pro"},
        {"malformed tag file passed over",
         {{"regid.1986-12.com.adobe_V7{}AcrobatA.swidtag", "<swid:serial_number>9707"},
          {"regid.1986-12.com.adobe_V7{}AcrobatB.swidtag", tag("970711111111111111111111")}},
         "Adobe Acrobat Pro"},
        {"tag without serial passed over",
         {{"regid.1986-12.com.adobe_V7{}AcrobatA.swidtag", "<swid:software_identification_tag/>"},
          {"regid.1986-12.com.adobe_V7{}AcrobatB.swidtag", tag("970711111111111111111111")}},
         "Adobe Acrobat Pro"},
        {"serial not under the root",
         {{kAcrobatTag,
           "<tag><entitlement><swid:serial_number>9707</swid:serial_number></entitlement></tag>"}},
         "Adobe Acrobat Standard"},
        {"other products' tags",
         {{"regid.1986-12.com.adobe_V7{}Photoshop-24.swidtag", tag("970711111111111111111111")},
          {"regid.1986-12.com.adobe_v7{}Acrobat.swidtag", tag("970711111111111111111111")},
          {"Acrobat.swidtag", tag("970711111111111111111111")}},
         "Adobe Acrobat Standard"},
        {"a folder named like the tag", {{kAcrobatTag + "/readme", "x"}}, "Adobe Acrobat Standard"},
    };
    const std::string list =
        report({app({entry("_name", str("Adobe Acrobat")), entry("version", str("24.1"))}),
                app({entry("_name", str("Adobe Acrobat Reader"))}),
                app({entry("_name", str("adobe acrobat"))})});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        fs::remove_all(tags);
        for (const auto& file : c.files)
            tagFile(file.first, file.second);
        EXPECT_EQ(load(list), (Lines{std::string("0 | ") + c.name + " | 24.1",
                                     "0 | Adobe Acrobat Reader | ", "0 | adobe acrobat | "}));
    }
}

TEST_F(Applications, TagFolderThatIsAFileAnswersStandard) {
    writeFile(tags, "not a folder");
    EXPECT_FALSE(sw.AdobeDCIsPro());
}

} // namespace
