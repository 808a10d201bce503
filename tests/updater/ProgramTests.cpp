// KX_Updater itself, run in a temporary installation folder against a real
// lighttpd: the relaunch through "tmp_Updater.exe" and a whole update.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include <sys/wait.h>

#include "common/LocalTime.h"
#include "tests/updater/UpdateFixture.h"
#include "common/Version.h"

namespace {

using namespace kxtest;

const std::string program = std::string(KX_BINARY_DIR) + "/KX_Updater";

std::string Minute() { return LocalTime::Now("%Y%m%d%H%M"); }

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class ProgramTest : public UpdateFixture {};

TEST_F(ProgramTest, RelaunchedCopyPerformsTheWholeUpdate) {
    const std::string agentNew = "#!/bin/sh\necho new agent\n";
    Module("KX_InventoryAGT", agentNew);
    Module("helper.dat", "a new helper");
    Module("settings.xml", "<new/>");
    Module("same.dat", "unchanged");
    Publish("-d helper.dat=plugins -s settings.xml");
    Installed("KX_InventoryAGT", "#!/bin/sh\necho old agent\n");
    fs::permissions(install / "KX_InventoryAGT", fs::perms(0755));
    Installed("settings.xml", "<old/>");
    Installed("same.dat", "unchanged");
    fs::copy_file(program, install / "KX_Updater");
    writeFile(server->www() / "complete" / "7" / "0", "accepted");
    Configure(Settings()
                  .Stop({"agent.exe", "agentsvc"})
                  .Start({"echo \"[EXEPATH]\" > \"[EXEPATH]/started.txt\"", "exit 3"}));

    // The service manager is the test's: it fails every stop with status 5.
    writeFile(root.path() / "bin" / "systemctl", "#!/bin/sh\nexit 5\n");
    fs::permissions(root.path() / "bin" / "systemctl", fs::perms(0755));

    std::string before = Minute();
    int status = -1;
    // Reading to the end waits for the copy too: it shares the output.
    std::string output = Capture("cd '" + install.string() + "' && PATH='" +
                                     (root.path() / "bin").string() + "':\"$PATH\" ./KX_Updater",
                                 &status);
    std::string after = Minute();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Count(output, "start\n"), 2) << output;
    EXPECT_EQ(Count(output, "end\n"), 2) << output;

    std::string workDir = fs::canonical(install).string();
    std::string listHash = readFile(server->www() / "list.md5");
    std::vector<std::string> log = LogMessages(install);
    // The launching process logs one line, the launch result, whenever it gets there.
    ASSERT_EQ(std::count(log.begin(), log.end(), "Success"), 1);
    log.erase(std::find(log.begin(), log.end(), "Success"));
    std::string agentOld = Md5Of("#!/bin/sh\necho old agent\n");
    std::vector<std::string> expected = {
        "updater: boot",
        "DownloadList: from:127.0.0.1 port:" + std::to_string(server->port()) + " ssl:0",
        "DownloadList: hash:" + listHash,
        "DownloadList Hash: " + listHash,
        "CheckList: 4",
        "CheckList: overwrite [KX_InventoryAGT]" + agentOld,
        "CheckList: new file [helper.dat]",
        "CheckList: overwrite [settings.xml]" + Md5Of("<old/>"),
        "DownloadFiles: 3 file(s)",
        "DownloadFiles: [KX_InventoryAGT]",
        "DownloadFiles: [helper.dat]",
        "DownloadFiles: [settings.xml]",
        "Terminator: ",
        "fail:[agent.exe]",
        "fail:[agentsvc](1280)",
        "BackupFiles: org hash:" + agentOld,
        "BackupFiles: dst hash:" + agentOld,
        "BackupFiles: org hash:" + Md5Of("<old/>"),
        "BackupFiles: dst hash:" + Md5Of("<old/>"),
        "UpdateFiles: start 3 file(s)",
        "UpdateFiles: [KX_InventoryAGT]",
        "UpdateFiles: [helper.dat]",
        "Launcher: ",
        "fail:[exit 3](768)",
        "Complete: accepted",
        "end: updated",
    };
    EXPECT_EQ(log, expected);

    EXPECT_TRUE(fs::exists(install / "tmp_Updater.exe"));
    EXPECT_EQ(InstalledContent("KX_InventoryAGT"), agentNew);
    EXPECT_EQ(fs::status(install / "KX_InventoryAGT").permissions() & fs::perms_mask,
              fs::perms(0755));
    EXPECT_EQ(InstalledContent("plugins/helper.dat"), "a new helper");
    EXPECT_FALSE(fs::exists(install / "settings.xml"));
    EXPECT_EQ(readFile(install / "updatetmp" / "modules" / "settings.xml"), "<new/>");
    EXPECT_EQ(InstalledContent("started.txt"), workDir + "\n");

    std::map<std::string, std::string> backups;
    for (const auto& file : fs::directory_iterator(install / "backup")) {
        std::string name = file.path().filename().string();
        std::string stamp = name.substr(0, 12);
        EXPECT_TRUE(stamp >= before && stamp <= after) << name;
        backups[name.substr(12)] = readFile(file.path());
    }
    EXPECT_EQ(backups, (std::map<std::string, std::string>{
                           {"_KX_InventoryAGT", "#!/bin/sh\necho old agent\n"},
                           {"_settings.xml", "<old/>"}}));

    std::vector<Upload> uploads = server->Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].pathInfo, "/7");
    EXPECT_EQ(uploads[0].parts["filename"], "upload.bin");
    EXPECT_EQ(uploads[0].parts["submit"], "send");
    std::string uploaded = uploads[0].parts["impfile"];
    EXPECT_EQ(uploaded, readFile(install / "logtmp.txt"));
    const std::string today = LocalTime::Now("updatelog/kxupd_%Y%m%d.log");
    EXPECT_EQ(uploaded, readFile(install / today));
    EXPECT_EQ(server->RequestsFor("GET", "/complete/7/0"), 1);
}

TEST_F(ProgramTest, WithoutServerTheRunEndsAtOnceAndUploadsNothing) {
    int status = -1;
    std::string output = Capture("cd '" + install.string() + "' && '" + program + "' tmp", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, "start\nend\n");
    EXPECT_EQ(Log(), (std::vector<std::string>{"updater: boot", "DownloadList: server empty"}));
    EXPECT_EQ(Outcome(), "not configured");
    EXPECT_FALSE(fs::exists(install / "logtmp.txt"));
}

TEST_F(ProgramTest, FailedRelaunchIsLoggedAndTheProgramStillEnds) {
    // No KX_Updater in the working directory: nothing to copy.
    int status = -1;
    std::string output = Capture("cd '" + install.string() + "' && '" + program + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, "start\nend\n");
    std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("LaunchOwn: cannot copy ", 0), 0u) << log[0];
    EXPECT_FALSE(fs::exists(install / "tmp_Updater.exe"));
}

TEST_F(ProgramTest, HelpAndVersionAnswerWithoutARunOrARequest) {
    Configure();
    fs::copy_file(program, install / "KX_Updater");
    const struct {
        const char* argument;
        std::string first;
    } cases[] = {{"--help", "usage: KX_Updater [ARGUMENT]\n"},
                 {"--version", "KX_Updater " KX_VERSION "\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        int status = -1;
        std::string output =
            Capture("cd '" + install.string() + "' && ./KX_Updater " + c.argument, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(output.substr(0, c.first.size()), c.first);
    }
    EXPECT_FALSE(fs::exists(install / "updatelog"));
    EXPECT_FALSE(fs::exists(install / "tmp_Updater.exe"));
    EXPECT_EQ(server->AllRequests(), 0);
}

const std::string publisher = std::string(KX_BINARY_DIR) + "/kxpublish";

TEST(Kxpublish, WritesTheFullFiveFieldListAndItsDigestWithoutLineFeed) {
    TempFolder dir;
    writeFile(dir.path() / "modules" / "a.dat", "abc");
    writeFile(dir.path() / "modules" / "KX_InventoryAGT", "");
    fs::create_directories(dir.path() / "modules" / "not-a-module");
    int status = -1;
    Capture("cd '" + dir.path().string() + "' && '" + publisher +
                "' -d a.dat=sub -s KX_InventoryAGT modules list.txt list.md5",
            &status);
    ASSERT_EQ(status, 0);
    std::string list = readFile(dir.path() / "list.txt");
    EXPECT_EQ(list, "KX_InventoryAGT|0|.|d41d8cd98f00b204e9800998ecf8427e|1\n"
                    "a.dat|0|sub|900150983cd24fb0d6963f7d28e17f72|0\n");
    EXPECT_EQ(readFile(dir.path() / "list.md5"), Md5Of(list));
}

TEST(Kxpublish, CommandLineHelpVersionUsageAndReasons) {
    struct Case {
        std::string arguments;
        int status;
        std::string out; // the beginning of standard output
        std::string err;
    };
    const std::string usage =
        "usage: kxpublish [-d NAME=DIR]... [-s NAME]...\n"
        "                 [--key PRIVATE.pem --version N --expires YYYY-MM-DDTHH:MM:SSZ\n"
        "                  --manifest MANIFEST_FILE]\n"
        "                 MODULE_FOLDER LIST_FILE LIST_HASH_FILE\n";
    const std::string signing = " --manifest m.txt modules list.txt list.md5";
    const Case cases[] = {
        {"--help", 0, usage, ""},
        {"--version", 0, "kxpublish " KX_VERSION "\n", ""},
        {"", 2, "", usage},
        {"modules list.txt", 2, "", usage},
        {"-d a.dat modules list.txt list.md5", 2, "",
         "kxpublish: -d needs NAME=DIR: a.dat\n" + usage},
        {"absent list.txt list.md5", 1, "",
         "kxpublish: cannot list absent: No such file or directory\n"},
        {"modules missing/list.txt list.md5", 1, "",
         "kxpublish: cannot write missing/list.txt.kxpublish-tmp: No such file or directory\n"},
        {"--key k.pem --version 1" + signing, 2, "",
         "kxpublish: a signed manifest needs --key, --version, --expires and --manifest\n" + usage},
        {"--key k.pem --version 0 --expires 2030-01-01T00:00:00Z" + signing, 1, "",
         "kxpublish: --version needs a positive integer: 0\n"},
        {"--key k.pem --version 2 --expires 2030-02-30T00:00:00Z" + signing, 1, "",
         "kxpublish: --expires needs a time YYYY-MM-DDTHH:MM:SSZ: 2030-02-30T00:00:00Z\n"},
        {"--key k.pem --version 2 --expires 2030-01-01T00:00:00Z" + signing, 1, "",
         "kxpublish: k.pem cannot be read\n"},
        {"--key modules/a.dat --version 2 --expires 2030-01-01T00:00:00Z" + signing, 1, "",
         "kxpublish: the private key lies in the module folder: modules/a.dat\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        TempFolder dir;
        writeFile(dir.path() / "modules" / "a.dat", "x");
        int status = -1;
        std::string output = Capture("cd '" + dir.path().string() + "' && '" + publisher + "' " +
                                         c.arguments + " 2>stderr.txt",
                                     &status);
        EXPECT_EQ(WEXITSTATUS(status), c.status);
        EXPECT_EQ(output.substr(0, c.out.size()), c.out);
        EXPECT_EQ(c.out.empty(), output.empty());
        EXPECT_EQ(readFile(dir.path() / "stderr.txt"), c.err);
    }
}

TEST(Kxpublish, RefusesWhatTheUpdaterCouldNotReadOrWouldRefuse) {
    struct Case {
        std::string file, arguments;
    };
    const Case cases[] = {
        {"a|b.dat", ""},
        {"a.dat", "-d a.dat=../up"},
        {"a.dat", "-d a.dat=/opt/kx"},
        {"a.dat", "-s missing.dat"},
        {"a.dat", "-d a.dat"},
        {"a\tb.dat", ""},
        {".kxupd-new-a.dat", ""},
        {"a.dat", "-d a.dat=sub/.kxupd-new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " " + c.arguments);
        TempFolder dir;
        writeFile(dir.path() / "modules" / c.file, "x");
        int status = -1;
        std::string output = Capture("cd '" + dir.path().string() + "' && '" + publisher + "' " +
                                         c.arguments + " modules list.txt list.md5 2>&1",
                                     &status);
        EXPECT_NE(status, 0);
        EXPECT_EQ(output.rfind("kxpublish: ", 0), 0u) << output;
        EXPECT_FALSE(fs::exists(dir.path() / "list.txt"));
        EXPECT_FALSE(fs::exists(dir.path() / "list.md5"));
    }
}

} // namespace
