// Remote paths: normalisation, name and parent, joining, quoting.

#include <gtest/gtest.h>

#include "webdav/Urn.h"

namespace {

using WebDAV::Urn;

struct PathCase {
    std::string path;
    bool directory;
    std::string normalised;
    bool root;
    bool isDirectory;
    std::string name;
    std::string parent;
};

TEST(Urn, NormalisesAndNamesEveryShapeOfPath) {
    const PathCase cases[] = {
        {"", false, "/", true, true, "", "/"},
        {"/", true, "/", true, true, "", "/"},
        {"///", false, "/", true, true, "", "/"},
        {"SPOOL", true, "/SPOOL/", false, true, "SPOOL/", "/"},
        {"/SPOOL//agent/decryptdata//x.dat", false, "/SPOOL/agent/decryptdata/x.dat", false, false,
         "x.dat", "/SPOOL/agent/decryptdata/"},
        {"a//b///c", false, "/a/b/c", false, false, "c", "/a/b/"},
        {"/a/b/", false, "/a/b/", false, true, "b/", "/a/"},
        {"/a", false, "/a", false, false, "a", "/"},
        {"/a/", false, "/a/", false, true, "a/", "/"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE("\"" + c.path + "\"");
        const Urn urn(c.path, c.directory);
        EXPECT_EQ(urn.path(), c.normalised);
        EXPECT_EQ(urn.is_root(), c.root);
        EXPECT_EQ(urn.is_directory(), c.isDirectory);
        EXPECT_EQ(urn.name(), c.name);
        EXPECT_EQ(urn.parent(), c.parent);
    }
}

TEST(Urn, JoinsRelativePathsOntoADirectoryOnly) {
    const Urn root("/SPOOL/", true);
    EXPECT_EQ((root + "/").path(), "/SPOOL/");
    EXPECT_TRUE((root + "/").is_directory());
    EXPECT_EQ((root + "/agent/decryptdata//f.dat").path(), "/SPOOL/agent/decryptdata/f.dat");
    EXPECT_EQ((root + "/agent/decryptdata/" + "/KX-0-12.dat").path(),
              "/SPOOL/agent/decryptdata/KX-0-12.dat");
    EXPECT_EQ((Urn("/SPOOL/f.dat", false) + "/more").path(), "/SPOOL/f.dat");
}

TEST(Urn, QuotesEachSegmentAndKeepsSeparators) {
    const struct {
        std::string path;
        std::string quoted;
    } cases[] = {
        {"/", "/"},
        {"/SPOOL/", "/SPOOL/"},
        {"/SPOOL/agent/decryptdata/x y.dat", "/SPOOL/agent/decryptdata/x%20y.dat"},
        {"/a%b/c", "/a%25b/c"},
        {"/-._~/ü?#&+", "/-._~/%C3%BC%3F%23%26%2B"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Urn(c.path, false).quote(nullptr), c.quoted) << c.path;
}

TEST(Urn, SplitYieldsOnlyNonEmptyPieces) {
    EXPECT_EQ(WebDAV::split("//a//b/", "/"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(WebDAV::split("a,b;c", ",;"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(WebDAV::split("///", "/").empty());
    EXPECT_TRUE(WebDAV::split("", "/").empty());
}

TEST(Urn, UnescapeReversesEscape) {
    const std::string text = "100% x+y/ü";
    EXPECT_EQ(WebDAV::unescape(nullptr, WebDAV::escape(nullptr, text)), text);
    EXPECT_EQ(WebDAV::unescape(nullptr, "a%2"), "a%2");
}

} // namespace
