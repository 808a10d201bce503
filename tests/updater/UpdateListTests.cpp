// How a line of the update list becomes an entry, and which entries' paths
// are refused before anything touches the disk.

#include <gtest/gtest.h>

#include <sstream>

#include "common/ModuleName.h"
#include "updater/UpdateListData.h"

namespace {

const std::string digest = "0123456789abcdef0123456789ABCDEF";

struct LineCase {
    std::string line;
    bool read;
    std::string name, version, hash, dir;
    bool skipReplace;
};

TEST(UpdateListLine, FieldsAreAssignedByTheirCount) {
    const LineCase cases[] = {
        {"a.dat|0|sub|" + digest, true, "a.dat", "0", digest, "sub", false},
        {"a.dat|0|" + digest, true, "a.dat", "0", digest, "", false},
        {"a.dat|0|.|" + digest + "|1", true, "a.dat", "0", digest, ".", true},
        {"a.dat|0|.|" + digest + "|0", true, "a.dat", "0", digest, ".", false},
        {"a.dat|0|.|" + digest + "|00", true, "a.dat", "0", digest, ".", false},
        {"a.dat|0|.|" + digest + "|0x", true, "a.dat", "0", digest, ".", false},
        {"a.dat|0|.|" + digest + "||", true, "a.dat", "0", digest, ".", true},
        {"a.dat|0|.|" + digest + "|", true, "a.dat", "0", digest, ".", false},
        {"a.dat|0|.|" + digest + "|0|extra|more", true, "a.dat", "0", digest, ".", false},
        {"name|1.0", true, "name", "1.0", "", "", false},
        {"|0", true, "", "0", "", "", false},
        {"a||", true, "a", "", "", "", false},
        {"name", false, "", "", "", "", false},
        {"name|", false, "", "", "", "", false},
        {"", false, "", "", "", "", false},
        // A carriage return stays in the last field.
        {"a.dat|0|" + digest + "\r", true, "a.dat", "0", digest + "\r", "", false},
        {"a.dat|0|.|" + digest + "|0\r", true, "a.dat", "0", digest, ".", false},
        {"a.dat|0|.|" + digest + "|\r", true, "a.dat", "0", digest, ".", true},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.line);
        _updateListData entry;
        ASSERT_EQ(ParseListLine(c.line, entry), c.read);
        if (!c.read)
            continue;
        EXPECT_EQ(entry.name, c.name);
        EXPECT_EQ(entry.version, c.version);
        EXPECT_EQ(entry.hash, c.hash);
        EXPECT_EQ(entry.dir, c.dir);
        EXPECT_EQ(entry.skipReplace, c.skipReplace);
    }
}

TEST(UpdateList, KeepsLineOrderAndDuplicatesAndReadsALastLineWithoutLineFeed) {
    std::istringstream text("a|0|x\n\nonly-name\nb|0|y\na|0|x\nlast|0|z");
    std::vector<_updateListData> entries = ParseList(text);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "a");
    EXPECT_EQ(entries[1].name, "b");
    EXPECT_EQ(entries[2].name, "a");
    EXPECT_EQ(entries[3].name, "last");
    EXPECT_EQ(entries[3].hash, "z");
}

TEST(UpdateListPaths, UntrustedNamesAndDirectoriesAreRefused) {
    struct Case {
        std::string name, dir;
        bool refused;
    };
    const Case cases[] = {
        {"a.dat", "", false},
        {"a.dat", ".", false},
        {"a.dat", "sub", false},
        {"a.dat", "sub/deeper/", false},
        {"a.dat", "sub/../other", false},
        {"a.dat", "./sub", false},
        {"..a.dat", "", false},
        {"with space #?%.dat", "", false},
        {"\xc3\xb1"
         "and\xc3\xba.dat",
         "d\xc3\xadr", false},
        {"list.txt", "", false},
        {".kxupd", "", false},
        {".kxupd-new-a.dat", "", true}, // the updater's own files beside a target
        {"a.dat", "sub/.kxupd-x", true},
        {"a\tb.dat", "", true},
        {"a\rb.dat", "", true},
        {"a\x7f.dat", "", true},
        {"a.dat", "su\nb", true},
        {"a|b.dat", "", true},
        {"", "", true},
        {".", "", true},
        {"..", "", true},
        {"../a.dat", "", true},
        {"sub/a.dat", "", true},
        {"..\\a.dat", "", true},
        {std::string("a\0b", 3), "", true},
        {"a.dat", "..", true},
        {"a.dat", "../sibling", true},
        {"a.dat", "sub/../..", true},
        {"a.dat", "sub/../../x", true},
        {"a.dat", "/etc", true},
        {"a.dat", "//etc", true},
        {"a.dat", std::string("sub\0/../..", 10), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("name [" + c.name + "] dir [" + c.dir + "]");
        _updateListData entry;
        entry.name = c.name;
        entry.dir = c.dir;
        EXPECT_EQ(UntrustedPathReason(entry) != nullptr, c.refused);
    }
}

TEST(ModuleUrl, EachNameIsOneSegmentWithOnlyUnreservedCharactersKept) {
    const std::pair<std::string, std::string> cases[] = {
        {"KX_InventoryAGT", "KX_InventoryAGT"},
        {"a-b.c_d~e", "a-b.c_d~e"},
        {"with space.dat", "with%20space.dat"},
        {"#?%+&=;:@", "%23%3F%25%2B%26%3D%3B%3A%40"},
        {"\xc3\xb1", "%C3%B1"},
    };
    for (const auto& [name, encoded] : cases)
        EXPECT_EQ(PercentEncodeSegment(name), encoded) << name;
}

} // namespace
