// Reading PROPFIND answers: elements found by namespace whatever their prefix.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "webdav/Multistatus.h"

namespace {

using namespace WebDAV;

std::string seed(const std::string& name) {
    std::ifstream in(std::string(KX_SOURCE_DIR) + "/tests/webdav/seeds/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// One directory with a file, written with the given prefixes: `ms` on the
// outer elements, `p` on the properties (declared where the server declares them).
std::string answer(const std::string& outer, const std::string& props, const std::string& href) {
    const std::string ms = outer.empty() ? "" : outer + ":";
    const std::string p = props.empty() ? "" : props + ":";
    const std::string declare = outer.empty() ? "xmlns=\"DAV:\"" : "xmlns:" + outer + "=\"DAV:\"";
    const std::string declareProps = props == outer ? "" : " xmlns:" + props + "=\"DAV:\"";
    return "<?xml version=\"1.0\"?><" + ms + "multistatus " + declare +
           ">"
           "<" +
           ms + "response" + declareProps + "><" + ms + "href>" + href + "dir/</" + ms +
           "href>"
           "<" +
           ms + "propstat><" + ms + "prop><" + p + "resourcetype><" + p + "collection/></" + p +
           "resourcetype><" + p + "quota-available-bytes>4096</" + p + "quota-available-bytes></" +
           ms + "prop><" + ms + "status>HTTP/1.1 200 OK</" + ms + "status></" + ms + "propstat></" +
           ms +
           "response>"
           "<" +
           ms + "response" + declareProps + "><" + ms + "href>" + href + "dir/a%20b.dat</" + ms +
           "href>"
           "<" +
           ms + "propstat><" + ms + "prop><" + p + "getcontentlength>12</" + p +
           "getcontentlength><" + p + "displayname>a b</" + p + "displayname><" + p +
           "resourcetype/></" + ms + "prop></" + ms + "propstat></" + ms + "response></" + ms +
           "multistatus>";
}

TEST(Multistatus, FindsDavElementsWhateverTheirPrefixAndHrefForm) {
    const struct {
        std::string outer, props, href;
    } cases[] = {
        {"D", "D", "/SPOOL/"},                  // lighttpd, Apache's outer elements
        {"d", "d", "/SPOOL/"},                  // lower-case prefix
        {"D", "lp1", "/SPOOL/"},                // Apache's live properties
        {"", "", "/SPOOL/"},                    // default namespace
        {"D", "D", "https://host:8443/SPOOL/"}, // hrefs as full URLs
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outer + "/" + c.props + " " + c.href);
        const std::string body = answer(c.outer, c.props, c.href);
        EXPECT_EQ(Multistatus::names(body, "/SPOOL/dir/"), (strings_t{"a b.dat"}));
        EXPECT_EQ(Multistatus::properties(body, "/SPOOL/dir/").at("type"), "d:collection");
        const dict_t file = Multistatus::properties(body, "/SPOOL/dir/a b.dat");
        EXPECT_EQ(file.at("size"), "12");
        EXPECT_EQ(file.at("name"), "a b");
        EXPECT_EQ(file.at("type"), "");
        EXPECT_EQ(Multistatus::quota_available(body), 4096u);
    }
}

TEST(Multistatus, IgnoresThePrefixWhenItIsBoundToAnotherNamespace) {
    const std::string body =
        "<d:multistatus "
        "xmlns:d=\"urn:not-dav\"><d:response><d:href>/x/</d:href></d:response></d:multistatus>";
    EXPECT_TRUE(Multistatus::names(body, "/").empty());
    EXPECT_TRUE(Multistatus::properties(body, "/x/").empty());
}

TEST(Multistatus, ReadsLighttpdAnswers) {
    EXPECT_EQ(Multistatus::names(seed("propfind-directory.xml"), "/SPOOL/agent/decryptdata/"),
              (strings_t{"KX-0-1220261210052300.dat", "with blank%/"}));
    const dict_t file = Multistatus::properties(
        seed("propfind-file.xml"), "/SPOOL/agent/decryptdata/KX-0-1220261210052300.dat");
    EXPECT_EQ(file.at("size"), "3");
    EXPECT_EQ(file.at("modified"), "Thu, 10 Dec 2026 05:23:20 GMT");
    EXPECT_EQ(file.at("type"), "");
    // The directory without its trailing separator is the same resource.
    EXPECT_EQ(Multistatus::properties(seed("propfind-directory.xml"), "/SPOOL/agent/decryptdata")
                  .at("type"),
              "d:collection");
}

TEST(Multistatus, GivesNothingForAnswersWithoutTheValue) {
    // lighttpd lists the quota properties under "404 Not Found".
    EXPECT_EQ(Multistatus::quota_available(seed("propfind-quota.xml")), 0u);
    for (const std::string& body :
         {seed("missing-404.html"), seed("unauthorised-401.html"), std::string(),
          std::string("<D:multistatus"),
          std::string("<D:multistatus xmlns:D=\"DAV:\"><D:response><D:propstat>"
                      "<D:prop><D:quota-available-bytes>-5</D:quota-available-bytes>"
                      "</D:prop></D:propstat></D:response></D:multistatus>")}) {
        EXPECT_EQ(Multistatus::quota_available(body), 0u);
        EXPECT_TRUE(Multistatus::names(body, "/").empty());
    }
    EXPECT_TRUE(Multistatus::properties(seed("propfind-file.xml"), "/SPOOL/other.dat").empty());
}

} // namespace
