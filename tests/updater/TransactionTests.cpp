// The update as one transaction, tried the way an unlucky machine tries it:
// KX_Updater itself run against a real lighttpd, failing or killed (SIGKILL
// from its test hook) at each step, overlapping another run, and short of
// disk space. Whatever happens, the installation afterwards holds the
// complete old set of files or the complete new one, nothing of the
// transaction is left beside them, and one more run converges.

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifdef __linux__
#include <sys/mount.h>
#endif

#include <algorithm>
#include <map>

#include "tests/updater/UpdateFixture.h"

namespace {

using namespace kxtest;

using Files = std::map<std::string, std::string>;

const std::string program = std::string(KX_BINARY_DIR) + "/KX_Updater";

const std::string elf = std::string("\x7f"
                                    "ELF\x02\x01\x01",
                                    7) +
                        std::string(64, '\0');

const Files oldSet = {
    {"KX_InventoryAGT", "#!/bin/sh\necho old agent\n"},
    {"KX_Updater", "#!/bin/sh\necho old updater\n"},
    {"macInventory.sh", "#!/bin/sh\necho old script\n"},
    {"conf/", ""},
    {"conf/settings.dat", "old settings"},
};

const Files newSet = {
    {"KX_InventoryAGT", "#!/bin/sh\necho new agent, a little longer\n"},
    {"KX_Updater", "#!/bin/sh\necho new updater\n"},
    {"macInventory.sh", "#!/bin/sh\necho new script\n"},
    {"conf/", ""},
    {"conf/settings.dat", "new settings"},
    {"new.dat", elf},
};

std::string Describe(const Files& files) {
    std::string text;
    for (const auto& [name, content] : files)
        text += name + " (" + std::to_string(content.size()) + " bytes)\n";
    return text;
}

unsigned Mode(const fs::path& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

class TransactionTest : public UpdateFixture {
protected:
    // The old set installed (programs 0755), the new set published; the
    // placement order is the list's: KX_InventoryAGT, KX_Updater,
    // macInventory.sh, new.dat, conf/settings.dat.
    void SetUpSets(const Settings& settings = Settings().Start({"touch started"})) {
        for (const auto& [name, content] : oldSet)
            if (name.back() != '/')
                Installed(name, content);
        for (const char* executable : {"KX_InventoryAGT", "KX_Updater", "macInventory.sh"})
            fs::permissions(install / executable, fs::perms(0755));
        fs::permissions(install / "conf/settings.dat", fs::perms(0640));
        for (const auto& [name, content] : newSet)
            if (name.back() != '/')
                Module(fs::path(name).filename().string(), content);
        Publish("-d settings.dat=conf");
        Configure(settings);
    }

    // Everything in the installation folder but the updater's own folders
    // and files: exactly the installed modules, nothing left beside them.
    Files Installation() const {
        Files files = Snapshot(install);
        for (auto it = files.begin(); it != files.end();) {
            const std::string& name = it->first;
            bool own = name.rfind("updatelog", 0) == 0 || name.rfind("updatetmp", 0) == 0 ||
                       name.rfind("backup", 0) == 0 || name == "config.ini" ||
                       name == "update.ini" || name == "logtmp.txt" || name == "started";
            it = own ? files.erase(it) : std::next(it);
        }
        return files;
    }

    // KX_Updater started in the installation folder with `environment`.
    int RunProgram(const std::string& environment = "") {
        int status = -1;
        Capture("cd '" + install.string() + "' && " + environment + " '" + program +
                    "' tmp >/dev/null 2>&1",
                &status);
        return status;
    }

    void ExpectOldSet() {
        Files now = Installation();
        EXPECT_EQ(now, oldSet) << Describe(now);
        EXPECT_FALSE(fs::exists(install / "updatetmp" / "journal"));
    }

    // One more run brings the new set, with the modes a program needs; the
    // run after it has nothing to do.
    void ExpectConvergence() {
        fs::remove(install / "started");
        EXPECT_EQ(RunProgram(), 0);
        Files now = Installation();
        EXPECT_EQ(now, newSet) << Describe(now);
        EXPECT_FALSE(fs::exists(install / "updatetmp" / "journal"));
        EXPECT_TRUE(fs::exists(install / "started"));
        EXPECT_EQ(Mode(install / "KX_Updater"), 0755u);
        EXPECT_EQ(Mode(install / "KX_InventoryAGT"), 0755u);
        EXPECT_EQ(Mode(install / "conf/settings.dat"), 0640u);
        EXPECT_EQ(Mode(install / "new.dat"), 0755u);
        EXPECT_EQ(RunProgram(), 0);
        EXPECT_EQ(Log().back(), "no update");
        if (HasFailure())
            for (const std::string& message : Log())
                std::printf("  log: %s\n", message.c_str());
    }

    int Count(const std::string& message) const {
        std::vector<std::string> log = Log();
        return static_cast<int>(std::count(log.begin(), log.end(), message));
    }
};

// A step that fails: every file placed so far goes back, and the start
// commands run when the stop commands did.
struct FailRow {
    const char* point;   // KX_TEST_FAIL_AT
    const char* message; // the log line of the failure
    int rolledBack;      // files put back
    bool started;        // the start commands ran
};

void PrintTo(const FailRow& row, std::ostream* out) { *out << row.point; }

class FailTest : public TransactionTest, public ::testing::WithParamInterface<FailRow> {};

TEST_P(FailTest, LeavesTheOldSetAndTheNextRunInstallsTheNewOne) {
    const FailRow& row = GetParam();
    SetUpSets();
    EXPECT_EQ(RunProgram(std::string("KX_TEST_FAIL_AT=") + row.point), 0);
    ExpectOldSet();
    EXPECT_EQ(Count(row.message), 1);
    int rolledBack = 0;
    for (const std::string& message : Log())
        rolledBack += message.rfind("UpdateFiles: rollback [", 0) == 0;
    EXPECT_EQ(rolledBack, row.rolledBack);
    EXPECT_EQ(Count("Launcher: "), row.started ? 1 : 0);
    EXPECT_EQ(fs::exists(install / "started"), row.started);
    EXPECT_EQ(Mode(install / "KX_Updater"), 0755u);
    ExpectConvergence();
}

INSTANTIATE_TEST_SUITE_P(Points, FailTest,
                         ::testing::Values(FailRow{"staged", "PrepareFiles: error [settings.dat]",
                                                   0, false},
                                           FailRow{"backup", "BackupFiles: error", 0, true},
                                           FailRow{"placed:1", "UpdateFiles: error", 1, true},
                                           FailRow{"placed:2", "UpdateFiles: error", 2, true},
                                           FailRow{"placed:last", "UpdateFiles: error", 5, true}),
                         [](const ::testing::TestParamInfo<FailRow>& row) {
                             std::string name = row.param.point;
                             std::replace(name.begin(), name.end(), ':', '_');
                             return name;
                         });

TEST_F(TransactionTest, FailingStopEntryDoesNotStopTheUpdate) {
    SetUpSets(Settings().Stop({"kx-no-such-service"}).Start({"touch started"}));
    EXPECT_EQ(RunProgram(), 0);
    std::vector<std::string> log = Log();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& message) {
                                return message.rfind("fail:[kx-no-such-service](", 0) == 0;
                            }),
              1);
    EXPECT_EQ(Installation(), newSet);
    EXPECT_TRUE(fs::exists(install / "started"));
}

// The process killed (SIGKILL) at a step: each file is whole (old or new)
// and both programs are there; the next run undoes the transaction before
// anything else, even when it gets no further (no trusted list).
struct KillRow {
    const char* point;    // KX_TEST_KILL_AT
    const char* recovery; // the next run's first line after "updater: boot"
};

void PrintTo(const KillRow& row, std::ostream* out) { *out << row.point; }

class KillTest : public TransactionTest, public ::testing::WithParamInterface<KillRow> {};

TEST_P(KillTest, NextRunUndoesTheTransactionAndTheRunAfterInstallsTheNewSet) {
    const KillRow& row = GetParam();
    SetUpSets(Settings().Stop({"kx-no-such-service"}).Start({"touch started"}));
    int status = RunProgram(std::string("KX_TEST_KILL_AT=") + row.point);
    EXPECT_NE(status, 0); // the shell reports the killed program

    Files now = Installation();
    for (const auto& [name, content] : now) {
        if (name.find(".kxupd-") != std::string::npos)
            continue; // a new file waiting beside its target

        auto old = oldSet.find(name);
        auto fresh = newSet.find(name);
        EXPECT_TRUE((old != oldSet.end() && old->second == content) ||
                    (fresh != newSet.end() && fresh->second == content))
            << name << " is neither old nor new:\n"
            << Describe(now);
    }
    for (const char* executable : {"KX_Updater", "KX_InventoryAGT"}) {
        EXPECT_TRUE(now.count(executable)) << executable;
        EXPECT_EQ(Mode(install / executable), 0755u) << executable;
    }

    // The next run gets no trusted list: it does nothing but the recovery.
    Configure(Settings().Path("ListHash", "/missing.md5").Start({"touch started"}));
    EXPECT_EQ(RunProgram(), 0);
    std::vector<std::string> log = Log();
    auto boot = std::find(log.rbegin(), log.rend(), "updater: boot");
    ASSERT_NE(boot, log.rend());
    ASSERT_NE(boot, log.rbegin());
    EXPECT_EQ(*std::prev(boot), row.recovery);
    ExpectOldSet();
    EXPECT_EQ(log.back(), "DownloadList Hash: not found");
    Configure(Settings().Start({"touch started"}));
    ExpectConvergence();
}

INSTANTIATE_TEST_SUITE_P(
    Points, KillTest,
    ::testing::Values(KillRow{"staged", "Recover: unfinished update of 5 file(s) dropped"},
                      KillRow{"stopped", "Recover: unfinished update of 5 file(s) dropped"},
                      KillRow{"backup", "Recover: unfinished update of 5 file(s) dropped"},
                      KillRow{"placed:1", "Recover: interrupted update of 5 file(s)"},
                      KillRow{"placed:2", "Recover: interrupted update of 5 file(s)"},
                      KillRow{"placed:last", "Recover: interrupted update of 5 file(s)"}),
    [](const ::testing::TestParamInfo<KillRow>& row) {
        std::string name = row.param.point;
        std::replace(name.begin(), name.end(), ':', '_');
        return name;
    });

TEST_F(TransactionTest, RunStartedDuringAnotherLogsOneLineAndTouchesNothing) {
    // A start command starts a second run while the first holds the lock.
    SetUpSets(Settings().Start({"'" + program + "' tmp", "touch started"}));
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(Count("updater: another run is in progress"), 1);
    EXPECT_EQ(Count("updater: boot"), 1);
    EXPECT_EQ(Installation(), newSet);
    EXPECT_EQ(server->Uploads().size(), 1u);
}

TEST_F(TransactionTest, TwoRunsStartedTogetherInstallTheNewSetOnce) {
    SetUpSets();
    std::string large(2000000, 'x');
    Module("large.dat", large);
    Publish("-d settings.dat=conf");
    int status = -1;
    Capture("cd '" + install.string() + "' && ('" + program + "' tmp & '" + program +
                "' tmp & wait) >/dev/null 2>&1",
            &status);
    EXPECT_EQ(status, 0);
    Files expected = newSet;
    expected["large.dat"] = large;
    EXPECT_EQ(Installation(), expected);
    // Either the second run was refused, or it came after the first and had
    // nothing to do.
    EXPECT_EQ(Count("updater: another run is in progress") + Count("no update"), 1);
    EXPECT_EQ(server->RequestsFor("GET", "/modules/large.dat"), 1);
}

TEST_F(TransactionTest, ProcessLeftRunningByAStartCommandDoesNotHoldTheLock) {
    SetUpSets(Settings().Start({"sleep 5 >/dev/null 2>&1 &"}));
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(Count("updater: another run is in progress"), 0);
    EXPECT_EQ(Log().back(), "no update");
}

// A small file system mounted for one test (Linux, as root; elsewhere the
// tests that need one are skipped).
class Mount {
public:
    Mount(const fs::path& point, const std::string& size) : at(point) {
        fs::create_directories(at);
#ifdef __linux__
        mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
#else
        (void)size;
#endif
    }
    ~Mount() {
#ifdef __linux__
        if (mounted)
            ::umount2(at.c_str(), MNT_DETACH);
#endif
    }
    bool Resize(const std::string& size) {
#ifdef __linux__
        return ::mount("tmpfs", at.c_str(), "tmpfs", MS_REMOUNT, ("size=" + size).c_str()) == 0;
#else
        (void)size;
        return false;
#endif
    }
    bool mounted = false;

private:
    fs::path at;
};

class FullDiskTest : public TransactionTest {};

TEST_F(FullDiskTest, DuringDownloadTheModuleIsGivenUpAndNothingInstalledChanges) {
    Mount disk(install, "1m");
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    Installed("big.dat", "old big");
    Installed("small.dat", "old small");
    Module("big.dat", std::string(2 << 20, 'b'));
    Module("small.dat", "new small");
    Publish();
    Configure();
    Run();
    EXPECT_TRUE(Logged("DownloadFiles: connect err:23"));
    EXPECT_EQ(InstalledContent("big.dat"), "old big");
    EXPECT_FALSE(fs::exists(install / "updatetmp" / "modules" / "big.dat"));
    EXPECT_EQ(InstalledContent("small.dat"), "new small");

    ASSERT_TRUE(disk.Resize("8m"));
    Run();
    EXPECT_EQ(InstalledContent("big.dat"), std::string(2 << 20, 'b'));
}

TEST_F(FullDiskTest, DuringBackupTheOldSetStaysAndTheStartCommandsRun) {
    Mount backup(install / "backup", "16k");
    if (!backup.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    SetUpSets();
    Installed("KX_InventoryAGT", "#!/bin/sh\n" + std::string(64 << 10, '#'));
    fs::permissions(install / "KX_InventoryAGT", fs::perms(0755));
    Files old = oldSet;
    old["KX_InventoryAGT"] = readFile(install / "KX_InventoryAGT");
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_TRUE(Logged("BackupFiles: error"));
    EXPECT_EQ(Installation(), old);
    EXPECT_TRUE(fs::exists(install / "started"));
    EXPECT_FALSE(fs::exists(install / "backup" / ".kxupd-copy"));

    ASSERT_TRUE(backup.Resize("1m"));
    ExpectConvergence();
}

} // namespace
