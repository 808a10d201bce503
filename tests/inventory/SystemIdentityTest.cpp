// The identity rules both platforms' collectors share: the source folder's
// own name and the host name's two parts.

#include <gtest/gtest.h>

#include "inventory/SystemIdentity.h"

namespace {

TEST(SourceFolderName, IsTheLeafUnlessResult) {
    const struct {
        const char* sourceDir;
        const char* expected;
    } cases[] = {
        {"result", ""},
        {"result/", ""},
        {"/var/kx/result", ""},
        {"collect", "collect"},
        {"collect/", "collect"},
        {"/var/kx/collect/.", "collect"},
        {"results", "results"},
        {"Result", "Result"},
        // A dot names no folder, also when it is the whole path.
        {".", ""},
        {"./", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(identity::sourceFolderName(c.sourceDir), c.expected)
            << "source: \"" << c.sourceDir << '"';
}

TEST(SplitHostName, LabelBeforeTheFirstDotAndTheRest) {
    const struct {
        const char* line;
        const char* computerName;
        const char* domainName;
    } cases[] = {
        {"mac01.example.com", "mac01", "example.com"}, {"host", "host", ""}, {"host.", "host", ""},
        {".example.com", "", "example.com"},           {"", "", ""},
    };
    for (const auto& c : cases) {
        const identity::HostName name = identity::splitHostName(c.line);
        EXPECT_EQ(name.computerName, c.computerName) << c.line;
        EXPECT_EQ(name.domainName, c.domainName) << c.line;
    }
}

} // namespace
