// The signed manifest: its one accepted form, the checks of signed mode
// (key, signature, expiry, version, list and files), and the accepted state.

#include <gtest/gtest.h>

#include <ctime>
#include <functional>

#include "updater/Manifest.h"
#include "updater/Sha256.h"
#include "tests/updater/TestKeys.h"
#include "tests/updater/TestServer.h"
#include "updater/UpdateVerifier.h"
#include "updater/VerifyState.h"

namespace {

using namespace kxtest;

const std::string someSignature(64, 's');

Manifest Sample(std::uint64_t version = 5, const std::string& expires = "2099-01-01T00:00:00Z") {
    Manifest manifest;
    manifest.version = version;
    manifest.expires = expires;
    manifest.listSha256 = Sha256::Of("the list");
    manifest.files = {{"a.dat", ".", 3, Sha256::Of("abc")}, {"b.bin", "sub", 0, Sha256::Of("")}};
    return manifest;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    if (at == std::string::npos)
        throw std::logic_error("no " + from + " in " + text);
    return text.replace(at, from.size(), to);
}

// ---- The reader -----------------------------------------------------------

struct FormCase {
    const char* name;
    std::function<std::string(const std::string& body)> text; // from the sample's body
    const char* reason;                                       // "" when it is read
};

class ManifestFormTest : public ::testing::TestWithParam<FormCase> {};

TEST_P(ManifestFormTest, OnlyTheOneFormIsRead) {
    std::string body = ManifestBody(Sample());
    Manifest read;
    std::string reason;
    bool ok = ReadManifest(GetParam().text(body), read, reason);
    EXPECT_EQ(reason, GetParam().reason);
    EXPECT_EQ(ok, reason.empty());
    if (ok) {
        EXPECT_EQ(read.version, 5u);
        EXPECT_EQ(read.expires, "2099-01-01T00:00:00Z");
        EXPECT_EQ(read.expiresAt, 4070908800);
        EXPECT_EQ(read.listSha256, Sha256::Of("the list"));
        ASSERT_EQ(read.files.size(), 2u);
        EXPECT_EQ(read.files[1].name, "b.bin");
        EXPECT_EQ(read.files[1].dir, "sub");
        EXPECT_EQ(read.files[0].size, 3u);
        EXPECT_EQ(read.files[0].sha256, Sha256::Of("abc"));
        EXPECT_EQ(read.body, body);
        EXPECT_EQ(read.signature, someSignature);
    }
}

std::string Signed(const std::string& body) { return ManifestText(body, someSignature); }

std::function<std::string(const std::string&)> Edit(const std::string& from,
                                                    const std::string& to) {
    return [=](const std::string& body) { return Signed(Replaced(body, from, to)); };
}

const std::string shaA = Sha256::Of("abc");

INSTANTIATE_TEST_SUITE_P(
    Cases, ManifestFormTest,
    ::testing::Values(
        FormCase{"CanonicalTwoLines", Signed, ""},
        FormCase{"NoFinalLineFeed",
                 [](const std::string& b) {
                     auto text = Signed(b);
                     text.pop_back();
                     return text;
                 },
                 "not two lines"},
        FormCase{"ThirdLine", [](const std::string& b) { return Signed(b) + "\n"; },
                 "not two lines"},
        FormCase{"CarriageReturns",
                 [](const std::string& b) {
                     return b + "\r\n" + Replaced(Signed(b).substr(b.size() + 1), "\n", "\r\n");
                 },
                 "the second line is not a base64 signature"},
        FormCase{"SignatureNotBase64", [](const std::string& b) { return b + "\nnot base64!\n"; },
                 "the second line is not a base64 signature"},
        FormCase{"SignatureOf63Bytes",
                 [](const std::string& b) { return ManifestText(b, std::string(63, 's')); },
                 "the second line is not a base64 signature"},
        FormCase{"NotJson", [](const std::string&) { return Signed("{\"version\":"); }, "not JSON"},
        FormCase{"NotUtf8", Edit("a.dat", "a\xff.dat"), "not JSON"},
        FormCase{"BlankBetweenTokens", Edit("\"version\":5", "\"version\": 5"),
                 "not in canonical form"},
        FormCase{"KeysOutOfOrder",
                 [](const std::string& b) {
                     std::string expires = b.substr(1, b.find(",\"files\"") - 1);
                     std::string rest = b.substr(b.find("\"files\""));
                     rest.pop_back();
                     return Signed("{" + rest + "," + expires + "}");
                 },
                 "not in canonical form"},
        FormCase{"KeyTwice", Edit("\"version\":5", "\"version\":4,\"version\":5"),
                 "not in canonical form"},
        FormCase{"UnknownKey", Edit("\"version\":5", "\"version\":5,\"zz\":1"),
                 "not a manifest object"},
        FormCase{"MissingKey", Edit(",\"version\":5", ""), "not a manifest object"},
        FormCase{"VersionZero", Edit("\"version\":5", "\"version\":0"),
                 "\"version\" is not a positive integer"},
        FormCase{"VersionNegative", Edit("\"version\":5", "\"version\":-5"),
                 "\"version\" is not a positive integer"},
        FormCase{"VersionFraction", Edit("\"version\":5", "\"version\":5.5"),
                 "\"version\" is not a positive integer"},
        FormCase{"VersionText", Edit("\"version\":5", "\"version\":\"5\""),
                 "\"version\" is not a positive integer"},
        FormCase{"VersionBeyond64Bits", Edit("\"version\":5", "\"version\":18446744073709551616"),
                 "\"version\" is not a positive integer"},
        FormCase{"ExpiryNoSuchDay", Edit("2099-01-01T", "2099-02-30T"),
                 "\"expires\" is not a YYYY-MM-DDTHH:MM:SSZ time"},
        FormCase{"ExpiryWithOffset", Edit("00:00:00Z", "00:00:00+01"),
                 "\"expires\" is not a YYYY-MM-DDTHH:MM:SSZ time"},
        FormCase{"ListDigestUpperCase",
                 Edit(Sha256::Of("the list"), "A" + Sha256::Of("the list").substr(1)),
                 "\"list_sha256\" is not a SHA-256"},
        FormCase{"ListDigestShort", Edit(Sha256::Of("the list"), Sha256::Of("the list").substr(1)),
                 "\"list_sha256\" is not a SHA-256"},
        FormCase{"FilesNotArray",
                 [](const std::string& b) {
                     std::size_t from = b.find('['), to = b.find(']');
                     return Signed(b.substr(0, from) + "{}" + b.substr(to + 1));
                 },
                 "\"files\" is not an array"},
        FormCase{"FileSizeNegative", Edit("\"size\":3", "\"size\":-3"),
                 "file entry 1 is malformed"},
        FormCase{"FileNameEmpty", Edit("\"a.dat\"", "\"\""), "file entry 1 is malformed"},
        FormCase{"FileExtraKey", Edit("\"size\":0", "\"size\":0,\"x\":0"),
                 "file entry 2 is malformed"},
        FormCase{"FileDigestMissing", Edit("\"sha256\":\"" + shaA + "\",", ""),
                 "file entry 1 is malformed"},
        FormCase{"NestedDeeper", Edit("\"dir\":\".\"", "\"dir\":[[\".\"]]"), "nested too deeply"},
        FormCase{
            "LargerThanBound",
            [](const std::string& b) { return Signed(b + std::string(maxManifestBytes, ' ')); },
            "larger than 1048576 bytes"}),
    [](const ::testing::TestParamInfo<FormCase>& row) { return row.param.name; });

TEST(ManifestTime, OnlyRealUtcTimesInTheOneForm) {
    struct Case {
        const char* text;
        bool ok;
        std::time_t time;
    };
    for (const Case& c :
         {Case{"1970-01-01T00:00:00Z", true, 0}, Case{"2028-02-29T23:59:59Z", true, 1835481599},
          Case{"2027-02-29T00:00:00Z", false, 0}, Case{"2027-13-01T00:00:00Z", false, 0},
          Case{"2027-01-01T24:00:00Z", false, 0}, Case{"2027-01-01T00:00:60Z", false, 0},
          Case{"2027-01-01T00:00:00", false, 0}, Case{"2027-1-01T00:00:00Z", false, 0},
          Case{"+027-01-01T00:00:00Z", false, 0}, Case{"2027-01-01t00:00:00z", false, 0}}) {
        std::time_t time = -1;
        EXPECT_EQ(ParseUtcTime(c.text, time), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(time, c.time) << c.text;
        }
    }
}

// ---- The checks of signed mode ---------------------------------------------

class VerifierTest : public ::testing::Test {
protected:
    VerifierTest()
        : pinned(MakeKeyPair(keys.path(), "pinned")), other(MakeKeyPair(keys.path(), "other")) {
        fs::copy_file(pinned.publicPem, install.path() / "update.pub");
    }

    static std::string SignedBy(const KeyPair& pair, const Manifest& manifest) {
        SigningKey key;
        std::string reason;
        EXPECT_TRUE(key.LoadPrivate(pair.privatePem.string(), reason)) << reason;
        std::string body = ManifestBody(manifest);
        return ManifestText(body, key.Sign(body));
    }

    // Starts a verifier on the installation folder and checks `text`; the
    // reason of a refusal, or "" when accepted.
    std::string Check(const std::string& text, UpdateVerifier& verifier) {
        std::string reason;
        if (!verifier.Start(install.path().string(), reason))
            return "start: " + reason;
        verifier.CheckManifest(text, std::time(nullptr), reason);
        return reason;
    }
    std::string Check(const std::string& text) {
        UpdateVerifier verifier;
        return Check(text, verifier);
    }

    void Accepted(std::uint64_t version, const std::string& digest) {
        writeFile(install.path() / "update.state",
                  "version " + std::to_string(version) + "\nmanifest " + digest + "\n");
    }

    TempFolder keys, install;
    KeyPair pinned, other;
};

TEST_F(VerifierTest, ManifestIsCheckedAgainstKeyClockAndAcceptedVersion) {
    std::string v5 = SignedBy(pinned, Sample(5));
    std::string v5Digest = Sha256::Of(ManifestBody(Sample(5)));
    Manifest changed = Sample(5);
    changed.files[0].size = 4;
    std::string tampered = ManifestBody(changed) + v5.substr(v5.find('\n'));

    EXPECT_EQ(Check(v5), "");
    EXPECT_EQ(Check(SignedBy(other, Sample(5))), "bad signature");
    EXPECT_EQ(Check(tampered), "bad signature");
    EXPECT_EQ(Check(SignedBy(pinned, Sample(5, "2001-01-01T00:00:00Z"))),
              "manifest expired at 2001-01-01T00:00:00Z");
    EXPECT_EQ(Check("garbage"), "manifest malformed: not two lines");

    Accepted(6, v5Digest);
    EXPECT_EQ(Check(v5), "version 5 is older than the accepted version 6");
    Accepted(5, v5Digest);
    EXPECT_EQ(Check(v5), "");
    Accepted(5, Sha256::Of("another release"));
    EXPECT_EQ(Check(v5), "version 5 was accepted with other content");
    Accepted(4, Sha256::Of("another release"));
    EXPECT_EQ(Check(v5), "");
}

TEST_F(VerifierTest, AcceptRecordsVersionAndContentForTheNextRun) {
    std::string v5 = SignedBy(pinned, Sample(5));
    UpdateVerifier verifier;
    ASSERT_EQ(Check(v5, verifier), "");
    ASSERT_TRUE(verifier.Accept());
    EXPECT_EQ(readFile(install.path() / "update.state"),
              "version 5\nmanifest " + Sha256::Of(ManifestBody(Sample(5))) + "\n");
    EXPECT_FALSE(fs::exists(install.path() / "update.state.tmp"));
    EXPECT_EQ(Check(v5), "");
    EXPECT_EQ(Check(SignedBy(pinned, Sample(4))), "version 4 is older than the accepted version 5");
}

TEST_F(VerifierTest, UnusableKeyOrStateFailsClosed) {
    fs::path pub = install.path() / "update.pub";
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* reason;
    };
    KeyPair rsa = MakeKeyPair(keys.path(), "rsa", "rsa");
    KeyPair ec = MakeKeyPair(keys.path(), "ec", "ec");
    std::vector<Case> cases = {
        {"folder", [&] { fs::create_directory(pub); }, "update.pub cannot be read"},
        {"dangling link", [&] { fs::create_symlink(keys.path() / "none", pub); },
         "update.pub cannot be read"},
        {"empty", [&] { writeFile(pub, ""); }, "update.pub holds no PEM public key"},
        {"private key", [&] { fs::copy_file(pinned.privatePem, pub); },
         "update.pub holds no PEM public key"},
        {"RSA key", [&] { fs::copy_file(rsa.publicPem, pub); }, "update.pub is not an Ed25519 key"},
        {"EC key", [&] { fs::copy_file(ec.publicPem, pub); }, "update.pub is not an Ed25519 key"},
        {"huge", [&] { writeFile(pub, std::string(65 * 1024, '-')); },
         "update.pub is larger than a key file"},
        {"malformed state",
         [&] {
             fs::copy_file(pinned.publicPem, pub);
             writeFile(install.path() / "update.state", "version 05\nmanifest x\n");
         },
         "update.state is malformed"},
    };
    for (const Case& c : cases) {
        fs::remove_all(pub);
        fs::remove(install.path() / "update.state");
        c.make();
        EXPECT_TRUE(UpdateVerifier::Enabled(install.path().string())) << c.name;
        UpdateVerifier verifier;
        std::string reason;
        EXPECT_FALSE(verifier.Start(install.path().string(), reason)) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
    }
    fs::remove_all(pub);
    EXPECT_FALSE(UpdateVerifier::Enabled(install.path().string()));
}

TEST_F(VerifierTest, ListBytesAndEntriesMustBeTheManifests) {
    UpdateVerifier verifier;
    ASSERT_EQ(Check(SignedBy(pinned, Sample(5)), verifier), "");
    std::string reason;
    EXPECT_TRUE(verifier.CheckList(Sha256::Of("the list"), reason));
    EXPECT_FALSE(verifier.CheckList(Sha256::Of("the list\n"), reason));
    EXPECT_EQ(reason, "list SHA-256 is not the manifest's");

    auto entry = [](const char* name, const char* dir) {
        _updateListData data;
        data.name = name;
        data.dir = dir;
        return data;
    };
    struct Case {
        std::vector<_updateListData> entries;
        const char* reason;
    };
    for (const Case& c : std::vector<Case>{
             {{entry("a.dat", "."), entry("b.bin", "sub")}, ""},
             {{entry("b.bin", "sub"), entry("a.dat", ".")}, "list entries are not the manifest's"},
             {{entry("a.dat", ".")}, "list entries are not the manifest's"},
             {{entry("a.dat", ""), entry("b.bin", "sub")}, "list entries are not the manifest's"},
             {{entry("a.dat", "."), entry("b.bin", "sub"), entry("c", ".")},
              "list entries are not the manifest's"}}) {
        reason.clear();
        bool ok = verifier.CheckEntries(c.entries, reason);
        EXPECT_EQ(ok, reason.empty());
        EXPECT_EQ(reason, c.reason);
    }
    EXPECT_EQ(verifier.FileOf(entry("b.bin", "sub")).sha256, Sha256::Of(""));

    Manifest twice = Sample(6);
    twice.files[1] = twice.files[0];
    UpdateVerifier second;
    ASSERT_EQ(Check(SignedBy(pinned, twice), second), "");
    EXPECT_FALSE(second.CheckEntries({entry("a.dat", "."), entry("a.dat", ".")}, reason));
    EXPECT_EQ(reason, "the list names [a.dat] in [.] twice");
}

TEST(FileVerifierTest, BytesAreCheckedAsTheyArriveAndCutOffAtTheStatedSize) {
    ManifestFile expected{"a.dat", ".", 6, Sha256::Of("abcdef")};
    struct Case {
        std::vector<std::string> pieces;
        std::size_t kept; // of the last piece
        const char* reason;
    };
    for (const Case& c :
         std::vector<Case>{{{"abc", "def"}, 3, ""},
                           {{"abc", "de"}, 2, "[a.dat] size is not the manifest's"},
                           {{"abc", "deg"}, 3, "[a.dat] SHA-256 is not the manifest's"},
                           {{"abc", "defgh"}, 3, "[a.dat] is larger than the manifest's size"},
                           {{"abcdef", "g"}, 0, "[a.dat] is larger than the manifest's size"}}) {
        FileVerifier verifier(expected);
        std::size_t kept = 0;
        for (const std::string& piece : c.pieces)
            kept = verifier.Feed(piece.data(), piece.size());
        EXPECT_EQ(kept, c.kept) << c.pieces.back();
        std::string reason;
        bool ok = verifier.Check(reason);
        EXPECT_EQ(ok, reason.empty());
        EXPECT_EQ(reason, c.reason) << c.pieces.back();
    }
}

} // namespace
