// Signed updates against a real lighttpd: an installation holding update.pub
// installs only what the pinned key signed. Every attack is refused with one
// line, and the refused run changes nothing but still uploads its log.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "updater/Sha256.h"
#include "tests/updater/TestKeys.h"
#include "tests/updater/UpdateFixture.h"

namespace {

using namespace kxtest;

const char* const future = "2099-01-01T00:00:00Z";

class SignedUpdateTest : public UpdateFixture {
public:
    // The attack table's set-ups work on the fixture.
    using UpdateFixture::Configure;
    using UpdateFixture::install;
    using UpdateFixture::Module;
    using UpdateFixture::root;
    using UpdateFixture::server;

    SignedUpdateTest()
        : keys(root.path() / "keys"),
          pinned((fs::create_directories(keys), MakeKeyPair(keys, "pinned"))),
          other(MakeKeyPair(keys, "other")) {
        fs::copy_file(pinned.publicPem, install / "update.pub");
    }

    Settings Signed() const {
        return Settings().Path("Manifest", "/manifest.txt").Start({"touch [EXEPATH]/started"});
    }

    // Publishes www/modules as release `version`, signed by `key`.
    void PublishSigned(int version, const KeyPair& key, const std::string& expires = future,
                       const std::string& more = "") {
        Publish("--key '" + key.privatePem.string() + "' --version " + std::to_string(version) +
                " --expires " + expires + " --manifest '" +
                (server->www() / "manifest.txt").string() + "' " + more);
    }

    // What the run must leave alone: the installation without the run's
    // log, its upload copy and the staging folder.
    std::map<std::string, std::string> Installation() const {
        std::map<std::string, std::string> files = Snapshot(install);
        for (auto it = files.begin(); it != files.end();) {
            bool runOwn = it->first.rfind("updatelog", 0) == 0 || it->first == "logtmp.txt" ||
                          it->first.rfind("updatetmp", 0) == 0;
            it = runOwn ? files.erase(it) : std::next(it);
        }
        return files;
    }

    std::vector<std::string> LinesStarting(const std::string& prefix) const {
        std::vector<std::string> lines;
        for (const std::string& line : Log())
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        return lines;
    }

    fs::path keys;
    KeyPair pinned, other;
};

// ---- Attacks ---------------------------------------------------------------

struct Attack {
    const char* name;
    // Turns the published release 2 (a.dat "new", b.dat "same") and the
    // installation that accepted release 1 into the attack.
    std::function<void(SignedUpdateTest&)> make;
    const char* refusal;
};

void PrintTo(const Attack& attack, std::ostream* out) { *out << attack.name; }

class SignedAttackTest : public SignedUpdateTest, public ::testing::WithParamInterface<Attack> {};

TEST_P(SignedAttackTest, IsRefusedWithOneLineAndChangesNothing) {
    Configure(Signed());
    Installed("a.dat", "old");
    Installed("b.dat", "same");
    Module("a.dat", "new");
    Module("b.dat", "same");
    writeFile(install / "update.state", "version 1\nmanifest " + Sha256::Of("release 1") + "\n");
    PublishSigned(2, pinned);
    GetParam().make(*this);
    std::map<std::string, std::string> before = Installation();

    Run();

    EXPECT_EQ(LinesStarting("Verify: refused: "),
              std::vector<std::string>{std::string("Verify: refused: ") + GetParam().refusal});
    EXPECT_EQ(Installation(), before);
    EXPECT_FALSE(Logged("Terminator: "));
    EXPECT_FALSE(Logged("Launcher: "));
    EXPECT_TRUE(LinesStarting("Complete:").empty());
    EXPECT_FALSE(fs::exists(install / "started"));
    fs::path staged = install / "updatetmp" / "modules";
    EXPECT_TRUE(!fs::exists(staged) || fs::is_empty(staged));
    ExpectLogUploadedOnce();
    EXPECT_NE(readFile(install / "updatelog" / "last_run.json")
                  .find(std::string("signed update refused: ") + GetParam().refusal),
              std::string::npos);
}

void Rewrite(const fs::path& file, const std::string& from, const std::string& to) {
    std::string text = readFile(file);
    std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    writeFile(file, text.replace(at, from.size(), to));
}

INSTANTIATE_TEST_SUITE_P(
    Attacks, SignedAttackTest,
    ::testing::Values(
        Attack{"ManifestMissing",
               [](SignedUpdateTest& test) { fs::remove(test.server->www() / "manifest.txt"); },
               "manifest not found: /manifest.txt"},
        Attack{"ManifestPathEmpty",
               [](SignedUpdateTest& test) { test.Configure(test.Signed().Path("Manifest", "")); },
               "no manifest (Update/Manifest is empty)"},
        Attack{"ManifestByteChanged",
               [](SignedUpdateTest& test) {
                   Rewrite(test.server->www() / "manifest.txt", "\"size\":3", "\"size\":4");
               },
               "bad signature"},
        Attack{"SignedByAnotherKey",
               [](SignedUpdateTest& test) { test.PublishSigned(2, test.other); }, "bad signature"},
        Attack{"ManifestGarbled",
               [](SignedUpdateTest& test) {
                   writeFile(test.server->www() / "manifest.txt", "<html>");
               },
               "manifest malformed: not two lines"},
        Attack{"Expired",
               [](SignedUpdateTest& test) {
                   test.PublishSigned(2, test.pinned, "2001-01-01T00:00:00Z");
               },
               "manifest expired at 2001-01-01T00:00:00Z"},
        Attack{"OlderRelease",
               [](SignedUpdateTest& test) {
                   writeFile(test.install / "update.state",
                             "version 3\nmanifest " + Sha256::Of("release 3") + "\n");
               },
               "version 2 is older than the accepted version 3"},
        Attack{"SameVersionOtherContent",
               [](SignedUpdateTest& test) {
                   writeFile(test.install / "update.state",
                             "version 2\nmanifest " + Sha256::Of("release 2") + "\n");
               },
               "version 2 was accepted with other content"},
        Attack{"ListOfAnotherRelease",
               [](SignedUpdateTest& test) {
                   // The list and its MD5 text from another publication.
                   fs::path manifest = test.server->www() / "manifest.txt";
                   std::string signedOne = readFile(manifest);
                   test.Module("a.dat", "other");
                   test.PublishSigned(3, test.pinned);
                   writeFile(manifest, signedOne);
               },
               "list SHA-256 is not the manifest's"},
        Attack{"ModuleBytesChanged", [](SignedUpdateTest& test) { test.Module("a.dat", "NEW"); },
               "[a.dat] SHA-256 is not the manifest's"},
        Attack{"ModuleShorter", [](SignedUpdateTest& test) { test.Module("a.dat", "ne"); },
               "[a.dat] size is not the manifest's"},
        Attack{
            "ModuleEndless",
            [](SignedUpdateTest& test) { test.Module("a.dat", "new" + std::string(4 << 20, 'x')); },
            "[a.dat] is larger than the manifest's size"},
        Attack{"KeyUnreadable",
               [](SignedUpdateTest& test) {
                   fs::remove(test.install / "update.pub");
                   fs::create_directory(test.install / "update.pub");
               },
               "update.pub cannot be read"},
        Attack{"KeyNotEd25519",
               [](SignedUpdateTest& test) {
                   KeyPair rsa = MakeKeyPair(test.root.path() / "keys", "rsa", "rsa");
                   fs::copy_file(rsa.publicPem, test.install / "update.pub",
                                 fs::copy_options::overwrite_existing);
               },
               "update.pub is not an Ed25519 key"}),
    [](const ::testing::TestParamInfo<Attack>& row) { return row.param.name; });

// ---- Accepted releases -------------------------------------------------------

TEST_F(SignedUpdateTest, SignedReleaseIsInstalledAndRecorded) {
    Configure(Signed());
    Installed("a.dat", "old");
    Module("a.dat", "new");
    Module("b.dat", "added");
    PublishSigned(4, pinned, future, "-d b.dat=sub");
    Run();
    EXPECT_EQ(LinesStarting("Verify: "), std::vector<std::string>{"Verify: manifest version 4"});
    EXPECT_EQ(InstalledContent("a.dat"), "new");
    EXPECT_EQ(InstalledContent("sub/b.dat"), "added");
    EXPECT_TRUE(fs::exists(install / "started"));
    std::string body = readFile(server->www() / "manifest.txt");
    body.erase(body.find('\n'));
    EXPECT_EQ(InstalledContent("update.state"), "version 4\nmanifest " + Sha256::Of(body) + "\n");
    ExpectLogUploadedOnce();

    // The same release again: verified, nothing to do, nothing uploaded.
    Run();
    EXPECT_EQ(LinesStarting("Verify: ").size(), 2u);
    EXPECT_EQ(Log().back(), "no update");
    EXPECT_EQ(server->Uploads().size(), 1u);
}

TEST_F(SignedUpdateTest, ACurrentInstallationRecordsTheReleaseSoThatOlderOnesAreRefused) {
    Configure(Signed());
    Installed("a.dat", "v1");
    Module("a.dat", "v1");
    PublishSigned(1, pinned);
    std::string release1 = readFile(server->www() / "manifest.txt");
    std::string list1 = readFile(server->www() / "list.txt");
    Module("a.dat", "v2");
    PublishSigned(2, pinned);
    Run();
    ASSERT_EQ(InstalledContent("a.dat"), "v2");

    // Release 2 stays current: a later run finds nothing to do.
    Run();
    EXPECT_TRUE(Logged("no update"));
    // Release 1 sent again, with its own list and module, is refused.
    writeFile(server->www() / "manifest.txt", release1);
    ServeList(list1);
    Module("a.dat", "v1");
    Run();
    EXPECT_TRUE(Logged("Verify: refused: version 1 is older than the accepted version 2"));
    EXPECT_EQ(InstalledContent("a.dat"), "v2");
}

TEST_F(SignedUpdateTest, KeyRotationShipsTheNewKeyInAReleaseSignedWithTheOld) {
    Configure(Signed());
    KeyPair next = MakeKeyPair(keys, "next");
    Module("a.dat", "one");
    Module("update.pub", readFile(next.publicPem));
    PublishSigned(1, pinned);
    Run();
    ASSERT_TRUE(Logged("Verify: manifest version 1"));
    EXPECT_EQ(InstalledContent("update.pub"), readFile(next.publicPem));

    // From now on only the new key is trusted.
    Module("a.dat", "two");
    PublishSigned(2, pinned);
    Run();
    EXPECT_TRUE(Logged("Verify: refused: bad signature"));
    EXPECT_EQ(InstalledContent("a.dat"), "one");

    PublishSigned(2, next);
    Run();
    EXPECT_TRUE(Logged("Verify: manifest version 2"));
    EXPECT_EQ(InstalledContent("a.dat"), "two");
}

TEST_F(SignedUpdateTest, WithoutTheKeyTheManifestIsNeitherFetchedNorNeeded) {
    fs::remove(install / "update.pub");
    Configure(Signed().Path("Manifest", "/manifest.txt"));
    Installed("a.dat", "old");
    Module("a.dat", "new");
    Publish();
    Run();
    EXPECT_EQ(InstalledContent("a.dat"), "new");
    EXPECT_TRUE(LinesStarting("Verify: ").empty());
    EXPECT_FALSE(fs::exists(install / "update.state"));
    EXPECT_EQ(server->RequestsFor("GET", "/manifest.txt"), 0);
}

} // namespace
