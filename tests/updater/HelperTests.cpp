// The digest, process and file-version helpers.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "updater/CProcess.h"
#include "updater/DigestCache.h"
#include "updater/File.h"
#include "updater/Hash.h"
#include "tests/updater/TestServer.h"

namespace {

using namespace kxtest;

TEST(Hash, DigestsOfKnownInputsAreLowerCaseHex) {
    struct Case {
        std::string input, md5;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6"},
    };
    TempFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::string fromMemory;
        EXPECT_TRUE(Hash::Get(reinterpret_cast<const unsigned char*>(c.input.data()),
                              static_cast<unsigned int>(c.input.size()), fromMemory));
        EXPECT_EQ(fromMemory, c.md5);
        writeFile(dir.path() / "f", c.input);
        std::string fromFile;
        EXPECT_TRUE(Hash::GetFile((dir.path() / "f").c_str(), fromFile));
        EXPECT_EQ(fromFile, c.md5);
    }
}

TEST(Hash, FileReadInChunksGivesTheDigestOfTheWholeContent) {
    std::string content;
    for (int i = 0; content.size() < 3 * 1024 * 1024 + 17; ++i)
        content += std::to_string(static_cast<long>(i) * 7919) + ",";
    TempFolder dir;
    writeFile(dir.path() / "big", content);
    std::string fromFile;
    ASSERT_TRUE(Hash::GetFile((dir.path() / "big").c_str(), fromFile));
    EXPECT_EQ(fromFile, Md5Of(content));
}

TEST(Hash, DigestIsAppendedToWhatTheTextHolds) {
    std::string hex = Md5Of("abc");
    Hash::Get(reinterpret_cast<const unsigned char*>("abc"), 3, hex);
    EXPECT_EQ(hex,
              std::string("900150983cd24fb0d6963f7d28e17f72") + "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Hash, MissingOrUnreadableFileGivesFalseAndLeavesTheText) {
    TempFolder dir;
    std::string hex = "kept";
    EXPECT_FALSE(Hash::GetFile((dir.path() / "missing").c_str(), hex));
    // A directory can be sized but not read.
    EXPECT_FALSE(Hash::GetFile(dir.path().c_str(), hex));
    EXPECT_EQ(hex, "kept");
}

TEST(DigestCache, ReusesTheDigestOnlyWhileTheFileIsUnchanged) {
    TempFolder dir;
    std::string path = (dir.path() / "f").string();
    writeFile(path, "first");
    DigestCache cache;
    cache.Remember(path, "remembered");
    std::string hex;
    ASSERT_TRUE(cache.GetFile(path, hex));
    EXPECT_EQ(hex, "remembered");

    writeFile(path, "second, longer");
    hex.clear();
    ASSERT_TRUE(cache.GetFile(path, hex));
    EXPECT_EQ(hex, Md5Of("second, longer"));

    std::remove(path.c_str());
    hex.clear();
    EXPECT_FALSE(cache.GetFile(path, hex));
    EXPECT_EQ(hex, "");
}

TEST(Process, CreateReturnsTheWaitStatusOfTheShell) {
    EXPECT_EQ(Process::Create("true", false), 0);
    EXPECT_EQ(Process::Create("exit 1", false), 256);
    EXPECT_EQ(Process::Create("no-such-command-kx 2>/dev/null", false), 127 << 8);
}

TEST(Process, KillByNameEndsNothingWhenNoSuchProcessRuns) {
    EXPECT_FALSE(Process::KillByName("kx-no-such-program.exe", std::chrono::milliseconds(10)));
    EXPECT_FALSE(Process::KillByName(".exe", std::chrono::milliseconds(10)));
}

TEST(File, EveryFileHasVersionZero) {
    for (const char* path : {"/bin/sh", "/no/such/file"}) {
        std::string version = "9.9";
        EXPECT_FALSE(File::GetVersion(path, version));
        EXPECT_EQ(version, "0");
    }
}

} // namespace
