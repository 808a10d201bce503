// Update runs against a real lighttpd, driven in-process with the retry
// pauses recorded instead of waited: every way a run can end, and what it
// leaves in the installation folder.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <map>

#include "common/LogText.h"
#include "tests/updater/UpdateFixture.h"

namespace {

using namespace kxtest;

using Messages = std::vector<std::string>;

class UpdateRunTest : public UpdateFixture {};

TEST_F(UpdateRunTest, NothingIsDoneOrUploadedWhenEveryInstalledFileMatches) {
    Configure(Settings().Stop({"agent.exe"}));
    Module("a.dat", "same");
    Publish("-d a.dat=sub");
    Installed("sub/a.dat", "same");
    Run();
    std::string digest = readFile(server->www() / "list.md5");
    EXPECT_EQ(
        Log(),
        (Messages{"updater: boot",
                  "DownloadList: from:127.0.0.1 port:" + std::to_string(server->port()) + " ssl:0",
                  "DownloadList: hash:" + digest, "DownloadList Hash: " + digest, "CheckList: 1",
                  "CheckList: 0", "no update"}));
    EXPECT_TRUE(server->Uploads().empty());
    EXPECT_FALSE(fs::exists(install / "logtmp.txt"));
    EXPECT_TRUE(pauses.empty());
}

// The server answers 404 and the transfer fails: recognised as "not found" at once.
struct GoneResource {
    const char* key;     // the "update.ini" path pointed at the failing resource
    const char* message; // the run's last log line
    bool replaced;       // a.dat was replaced before the run ended
};

class GoneResourceTest : public UpdateFixture,
                         public ::testing::WithParamInterface<GoneResource> {};

TEST_P(GoneResourceTest, EndsTheStepAtOnceAndUploadsTheLog) {
    Configure(Settings().Path(GetParam().key, "/gone.py"));
    Module("a.dat", "new");
    Publish();
    Installed("a.dat", "old");
    Run();
    EXPECT_EQ(Log().back(), GetParam().message);
    EXPECT_TRUE(pauses.empty());
    EXPECT_EQ(InstalledContent("a.dat"), GetParam().replaced ? "new" : "old");
    EXPECT_FALSE(fs::exists(install / "updatetmp" / "a.dat"));
    ExpectLogUploadedOnce();
}

INSTANTIATE_TEST_SUITE_P(
    Resources, GoneResourceTest,
    ::testing::Values(GoneResource{"List", "DownloadList: not found: /gone.py", false},
                      GoneResource{"ListHash", "DownloadList Hash: not found", false},
                      GoneResource{"Modules", "DownloadFiles: not found", false},
                      GoneResource{"Complete", "Complete: not found", true}));

// A 404 page that arrives whole is never content: the resource is missing,
// at once and without a retry.
struct MissingFile {
    const char* removed; // below www/
    const char* message; // the run's last log line
    std::vector<unsigned> pauses;
};

class MissingFileTest : public UpdateFixture, public ::testing::WithParamInterface<MissingFile> {};

TEST_P(MissingFileTest, ItsErrorPageIsANotFoundNeverContent) {
    Configure();
    Module("a.dat", "new");
    Publish();
    Installed("a.dat", "old");
    fs::remove(server->www() / GetParam().removed);
    Run();
    EXPECT_EQ(Log().back(), GetParam().message);
    EXPECT_EQ(pauses, GetParam().pauses);
    EXPECT_EQ(InstalledContent("a.dat"), "old");
    EXPECT_FALSE(fs::exists(install / "updatetmp" / "a.dat"));
    ExpectLogUploadedOnce();
}

INSTANTIATE_TEST_SUITE_P(
    Files, MissingFileTest,
    ::testing::Values(MissingFile{"list.txt", "DownloadList: not found: /list.txt", {}},
                      MissingFile{"list.md5", "DownloadList Hash: not found", {}},
                      MissingFile{"modules/a.dat", "DownloadFiles: not found", {}}));

TEST_F(UpdateRunTest, DigestServedWithTrailingLineFeedNeverMatches) {
    Configure();
    Module("a.dat", "new");
    Publish();
    writeFile(server->www() / "list.md5", readFile(server->www() / "list.md5") + "\n");
    Run();
    EXPECT_EQ(Log().back(), "DownloadList Hash: unmatch");
    EXPECT_TRUE(pauses.empty()); // a mismatch is fetched again at once
    ExpectLogUploadedOnce();
    EXPECT_EQ(server->RequestsFor("GET", "/list.md5"), 5);
    EXPECT_EQ(server->RequestsFor("GET", "/list.txt"), 1);
}

TEST_F(UpdateRunTest, UnreachableServerIsTriedFiveTimesFiveSecondsApart) {
    int closed = UnusedPort();
    Configure(Settings().Port(closed));
    Run();
    EXPECT_EQ(Log().back().rfind("DownloadList: connect err:7 ", 0), 0u) << Log().back();
    EXPECT_EQ(pauses, (std::vector<unsigned>{5, 5, 5, 5}));
}

TEST_F(UpdateRunTest, ModuleWithWrongBytesTwiceThenRightIsAcceptedOnTheThirdAttempt) {
    Configure();
    Module("a.dat", "the right bytes");
    Publish();
    Module("a.dat", "the wrong bytes");
    onPause = [this](std::size_t pause) {
        if (pause == 2)
            Module("a.dat", "the right bytes");
    };
    Installed("a.dat", "old");
    Run();
    EXPECT_EQ(pauses, (std::vector<unsigned>{10, 10}));
    EXPECT_EQ(InstalledContent("a.dat"), "the right bytes");
    EXPECT_FALSE(Logged("DownloadFiles: hash unmatch"));
    EXPECT_EQ(server->RequestsFor("GET", "/modules/a.dat"), 3);
}

TEST_F(UpdateRunTest, AbandonedDownloadsNeverCostAnInstalledFile) {
    Configure();
    const std::string goodNew = "good, new";
    Module("good.dat", goodNew);
    Module("bad.dat", "not what the list says");
    Module("ver.dat", "versioned");
    ServeList("gone.dat|0|.|" + Md5Of("gone") + "|0\n" + "bad.dat|0|.|" +
              Md5Of("what the list says") + "|0\n" + "ver.dat|1.2|.|" + Md5Of("versioned") +
              "|0\n" + "good.dat|0|.|" + Md5Of(goodNew) + "|0\n" + "stale.dat|0|.|" +
              Md5Of("stale") + "|0\n");
    for (const char* name : {"gone.dat", "bad.dat", "ver.dat", "good.dat"})
        Installed(name, std::string("installed ") + name);
    Installed("stale.dat", "stale");
    // Left staged by an earlier run; stale.dat itself is up to date.
    writeFile(install / "updatetmp" / "stale.dat", "left over");
    Run();

    // gone.dat's 404 is a missing file at once; bad.dat fails the digest five times.
    Messages log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "DownloadFiles: hash unmatch"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "DownloadFiles: not found"), 1);
    EXPECT_TRUE(Logged("DownloadFiles: ver unmatch:[0]"));
    EXPECT_TRUE(Logged("CheckList: 0 -> 1.2 [ver.dat]"));
    EXPECT_EQ(pauses, std::vector<unsigned>(4, 10));
    for (const char* name : {"gone.dat", "bad.dat", "ver.dat"}) {
        EXPECT_EQ(InstalledContent(name), std::string("installed ") + name);
        EXPECT_FALSE(fs::exists(install / "updatetmp" / name)) << name;
    }
    EXPECT_EQ(InstalledContent("stale.dat"), "stale");
    EXPECT_EQ(InstalledContent("good.dat"), goodNew);
    std::vector<std::string> backups;
    for (const auto& file : fs::directory_iterator(install / "backup"))
        backups.push_back(file.path().filename().string());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].substr(12), "_good.dat");
}

TEST_F(UpdateRunTest, HostileListEntriesAreRefusedAndNothingOutsideChanges) {
    fs::path outside = root.path() / "outside";
    writeFile(outside / "a.txt", "marker a");
    writeFile(outside / "sub" / "b.txt", "marker b");
    fs::create_directory_symlink(outside, install / "link");
    fs::create_symlink(outside / "a.txt", install / "evil.dat");
    fs::create_symlink(outside / "new.txt", install / "dangling");
    const std::string hostile = "hostile bytes";
    for (const char* name : {"a.txt", "b.txt", "evil.dat", "dangling", "x", "escape.txt"})
        Module(name, hostile);
    Module("good.dat", "good");
    const std::string h = "|" + Md5Of(hostile) + "|0\n";
    const std::vector<std::string> refused = {
        "../escape.txt|0|.",
        "..\\escape.txt|0|.",
        "..|0|.",
        ".|0|.",
        "|0|.",
        "a.txt|0|../outside",
        "a.txt|0|" + outside.string(),
        "a.txt|0|sub/../../outside",
        "a.txt|0|link",
        "b.txt|0|link/sub",
        "evil.dat|0|.",
        "dangling|0|.",
        "x|0|updatetmp",
    };
    std::string list;
    for (const std::string& line : refused)
        list += line + h;
    list += "good.dat|0|.|" + Md5Of("good") + "|0\n";
    ServeList(list);
    Configure();
    std::map<std::string, std::string> before = Snapshot(outside);
    Run();

    EXPECT_EQ(Snapshot(outside), before);
    int refusals = 0;
    for (const std::string& message : Log())
        refusals += message.rfind("CheckList: refused [", 0) == 0;
    EXPECT_EQ(refusals, static_cast<int>(refused.size()));
    EXPECT_EQ(InstalledContent("good.dat"), "good");
    EXPECT_TRUE(fs::is_symlink(install / "evil.dat"));
    EXPECT_TRUE(fs::is_symlink(install / "dangling"));
    EXPECT_FALSE(fs::exists(root.path() / "escape.txt"));
    EXPECT_TRUE(Logged("DownloadFiles: 1 file(s)"));
}

TEST_F(UpdateRunTest, ManyRefusedEntriesCostAHundredLogLinesAndACount) {
    std::string list;
    for (int i = 0; i < 150; ++i)
        list += "../x" + std::to_string(i) + "|0|.|" + Md5Of("x") + "|0\n";
    ServeList(list);
    Configure();
    Run();
    int refusals = 0;
    for (const std::string& message : Log())
        refusals += message.rfind("CheckList: refused [", 0) == 0;
    EXPECT_EQ(refusals, 100);
    EXPECT_TRUE(Logged("CheckList: refused 50 more"));
    EXPECT_EQ(Log().back(), "no update");
}

// A folder, or anything else that is not a regular file, where a listed file
// should be: refused before anything is touched; the rest is installed.
TEST_F(UpdateRunTest, EntryNamingAnExistingFolderOrPipeIsRefusedAndTheRestInstalled) {
    Installed("docs/readme.txt", "the operator's notes");
    ASSERT_EQ(::mkfifo((install / "pipe.dat").c_str(), 0644), 0);
    Installed("KX_InventoryAGT", "old agent");
    Installed("macInventory.sh", "old script");
    for (const char* name : {"docs", "pipe.dat", "KX_InventoryAGT", "macInventory.sh"})
        Module(name, std::string("new ") + name);
    ServeList("docs|0|.|" + Md5Of("new docs") + "|0\n" + "pipe.dat|0|.|" + Md5Of("new pipe.dat") +
              "|0\n" + "KX_InventoryAGT|0|.|" + Md5Of("new KX_InventoryAGT") + "|0\n" +
              "macInventory.sh|0|.|" + Md5Of("new macInventory.sh") + "|0\n");
    Configure();
    Run();
    EXPECT_TRUE(Logged("CheckList: refused [docs] dir [.]: not a regular file"));
    EXPECT_TRUE(Logged("CheckList: refused [pipe.dat] dir [.]: not a regular file"));
    EXPECT_EQ(InstalledContent("docs/readme.txt"), "the operator's notes");
    EXPECT_EQ(fs::status(install / "pipe.dat").type(), fs::fifo_file);
    EXPECT_EQ(InstalledContent("KX_InventoryAGT"), "new KX_InventoryAGT");
    EXPECT_EQ(InstalledContent("macInventory.sh"), "new macInventory.sh");
    Run();
    EXPECT_EQ(Log().back(), "no update");
}

// Every name the updater accepts is published by kxpublish and fetched as
// exactly that file; "list.txt" is a module like any other.
TEST_F(UpdateRunTest, NamesWithAnyAllowedCharacterArePublishedAndInstalled) {
    const std::vector<std::string> names = {
        "with space.dat",
        "hash#.dat",
        "what?.dat",
        "100%.dat",
        "50%25.dat",
        "plus+and&.dat",
        "\xc3\xb1"
        "and\xc3\xba.dat",
        "list.txt",
    };
    for (const std::string& name : names)
        Module(name, "content of " + name);
    Module("50%.dat", "a decoy: what 50%25 would fetch unencoded");
    Publish();
    Configure();
    Run();
    for (const std::string& name : names)
        EXPECT_EQ(InstalledContent(name), "content of " + name) << name;
    EXPECT_TRUE(pauses.empty());
    EXPECT_EQ(readFile(install / "updatetmp" / "list.txt"), readFile(server->www() / "list.txt"));
    Run();
    EXPECT_EQ(Log().back(), "no update");
}

TEST_F(UpdateRunTest, ACrlfListReadsLikeTheSameListWithLineFeeds) {
    Configure();
    Module("a.dat", "a");
    Module("b.dat", "b, new");
    Module("c.dat", "c, new");
    ServeList("a.dat|0|" + Md5Of("a") + "\r\n" +          // digest last: matches the installed file
              "b.dat|0|.|" + Md5Of("b, new") + "|0\r\n" + // flag "0": replaced
              "c.dat|0|.|" + Md5Of("c, new") + "|1\r\n"); // flag "1": staged only
    Installed("a.dat", "a");
    Installed("b.dat", "b, old");
    Installed("c.dat", "c, old");
    Run();

    EXPECT_FALSE(Logged("CheckList: overwrite [a.dat]" + Md5Of("a")));
    EXPECT_FALSE(Logged("DownloadFiles: hash unmatch"));
    EXPECT_TRUE(pauses.empty());
    EXPECT_EQ(InstalledContent("a.dat"), "a");
    EXPECT_EQ(InstalledContent("b.dat"), "b, new");
    EXPECT_FALSE(fs::exists(install / "c.dat"));
    EXPECT_EQ(readFile(install / "updatetmp" / "modules" / "c.dat"), "c, new");
    EXPECT_EQ(Outcome(), "updated");
}

TEST_F(UpdateRunTest, FileWhereTheFolderShouldBeStopsTheUpdateBeforeAnythingIsStopped) {
    Configure(Settings().Stop({"agent.exe"}).Start({"touch started"}));
    Module("a.dat", "new");
    Module("b.dat", "new b");
    Publish("-d a.dat=sub");
    Installed("sub", "a file where the folder should be");
    Installed("b.dat", "old b");
    writeFile(server->www() / "complete" / "7" / "0", "accepted");
    Run();

    EXPECT_EQ(Log().back(), "PrepareFiles: error [a.dat]");
    EXPECT_TRUE(pauses.empty());
    EXPECT_FALSE(Logged("Terminator: "));
    EXPECT_FALSE(Logged("Launcher: "));
    EXPECT_FALSE(fs::exists(install / "started"));
    EXPECT_EQ(server->RequestsFor("GET", "/complete/7/0"), 0);
    EXPECT_EQ(InstalledContent("sub"), "a file where the folder should be");
    EXPECT_EQ(InstalledContent("b.dat"), "old b"); // the set is replaced whole or not at all
    EXPECT_FALSE(fs::exists(install / "backup"));
    EXPECT_FALSE(fs::exists(install / "updatetmp" / "journal"));
    ExpectLogUploadedOnce();
}

TEST_F(UpdateRunTest, EntriesSharingAStagedFileAreBothPutInPlace) {
    Configure();
    ServeList("same.dat|0|.|" + Md5Of("new") + "|0\nsame.dat|0|copy|" + Md5Of("new") + "|0\n");
    Module("same.dat", "new");
    Installed("same.dat", "old");
    Run();
    EXPECT_EQ(InstalledContent("same.dat"), "new");
    EXPECT_EQ(InstalledContent("copy/same.dat"), "new");
    EXPECT_FALSE(fs::exists(install / "updatetmp" / "same.dat"));
}

// "Staged only" removes an installed file (it is kept in backup), but never
// one of the two programs: a machine without them is lost to the fleet.
TEST_F(UpdateRunTest, StagedOnlyEntryNeverRemovesTheAgentOrTheUpdater) {
    for (const char* name : {"KX_InventoryAGT", "KX_Updater", "other.dat"}) {
        Installed(name, std::string("old ") + name);
        Module(name, std::string("new ") + name);
    }
    Publish("-s KX_InventoryAGT -s KX_Updater -s other.dat");
    Configure();
    Run();
    EXPECT_EQ(InstalledContent("KX_InventoryAGT"), "old KX_InventoryAGT");
    EXPECT_EQ(InstalledContent("KX_Updater"), "old KX_Updater");
    EXPECT_FALSE(fs::exists(install / "other.dat"));
    std::vector<std::string> backups;
    for (const auto& file : fs::directory_iterator(install / "backup"))
        backups.push_back(file.path().filename().string().substr(12));
    EXPECT_EQ(backups, std::vector<std::string>{"_other.dat"});
    for (const char* name : {"KX_InventoryAGT", "KX_Updater", "other.dat"})
        EXPECT_EQ(readFile(install / "updatetmp" / "modules" / name), std::string("new ") + name);
}

TEST_F(UpdateRunTest, ReplacedProgramKeepsItsPermissionBits) {
    Configure();
    Module("KX_InventoryAGT", "#!/bin/sh\necho new\n");
    Publish();
    Installed("KX_InventoryAGT", "#!/bin/sh\necho old\n");
    fs::permissions(install / "KX_InventoryAGT", fs::perms(0755));
    Run();
    EXPECT_EQ(InstalledContent("KX_InventoryAGT"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(fs::status(install / "KX_InventoryAGT").permissions() & fs::perms_mask,
              fs::perms(0755));
}

// Removes a folder made outside the test's own temporary folder.
struct RemovedAtEnd {
    fs::path dir;
    ~RemovedAtEnd() {
        boost::system::error_code error;
        fs::remove_all(dir, error);
    }
};

TEST_F(UpdateRunTest, AcrossFileSystemsTheStagedFileIsCopiedAndVerified) {
    // The staging folder on another file system: a rename cannot put files in place.
    std::string pattern = "/dev/shm/kxupd-staging-XXXXXX";
    if (!::mkdtemp(&pattern[0]))
        GTEST_SKIP() << "no /dev/shm";
    RemovedAtEnd staging{pattern};
    struct stat shm, here;
    if (::stat(staging.dir.c_str(), &shm) != 0 || ::stat(install.c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev)
        GTEST_SKIP() << "/dev/shm is on the installation's file system";
    fs::create_directory_symlink(staging.dir, install / "updatetmp");
    Configure();
    Module("a.dat", "new across");
    Publish("-d a.dat=sub");
    Installed("sub/a.dat", "old");
    Run();
    EXPECT_EQ(InstalledContent("sub/a.dat"), "new across");
    EXPECT_FALSE(fs::exists(staging.dir / "a.dat"));
    EXPECT_TRUE(Logged("Launcher: "));
}

class HttpsUpdateRunTest : public UpdateFixture {
protected:
    HttpsUpdateRunTest() : UpdateFixture(true) {}
};

TEST_F(HttpsUpdateRunTest, UpdateOverHttpsWithASelfSignedCertificate) {
    Configure(Settings().Ssl(0));
    Module("a.dat", "new");
    Publish();
    Installed("a.dat", "old");
    Run();
    EXPECT_EQ(InstalledContent("a.dat"), "new");
    EXPECT_TRUE(Logged("Launcher: "));
    std::vector<Upload> uploads = server->Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].pathInfo, "/0"); // no report for HostID 0, the log still goes
    EXPECT_EQ(server->RequestsFor("GET", "/complete/0/0"), 0);
}

} // namespace

namespace {

// The completion answer is the server's text: it goes into the log as one
// line, so it cannot forge lines that go back to the server with the log.
TEST_F(UpdateRunTest, ACompletionAnswerCannotForgeLogLines) {
    Configure();
    Module("a.dat", "new");
    Publish();
    Installed("a.dat", "old");
    writeFile(server->www() / "complete" / "7" / "0",
              "accepted\r\n2024/03/05 09:07:02|-|Launcher: FORGED\n" + std::string(300, 'z'));
    Run();
    const std::string uploaded = server->Uploads().at(0).parts["impfile"];
    EXPECT_EQ(uploaded.find("\n2024/03/05 09:07:02|-|Launcher: FORGED"), std::string::npos);
    const std::string expected = LogText::OneLine(
        "accepted\r\n2024/03/05 09:07:02|-|Launcher: FORGED\n" + std::string(300, 'z'));
    EXPECT_TRUE(Logged(("Complete: " + expected).substr(0, 199))) << uploaded;
}

} // namespace
