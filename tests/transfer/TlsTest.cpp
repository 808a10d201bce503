// Verified TLS in both programs, against lighttpd with certificates from a
// test CA made here with openssl: a refused server never sees a request, so
// never a credential.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "updater/Downloader.h"
#include "tests/support/TempFolder.h"
#include "tests/webdav/Lighttpd.h"
#include "updater/Updater.h"

namespace {

namespace fs = boost::filesystem;
using kxtest::Lighttpd;
using kxtest::readFile;
using kxtest::writeFile;

void openssl(const std::string& arguments, const fs::path& in) {
    const std::string command =
        "cd '" + in.string() + "' && openssl " + arguments + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("openssl failed: " + arguments);
}

// Two CAs ("ca", "other") and server certificates signed by "ca": "good"
// (names 127.0.0.1), "expired" (2020), "elsewhere" (names other.example).
class TestCa {
public:
    TestCa() {
        const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        for (const char* ca : {"ca", "other"})
            openssl("req -x509 " + ec + " -days 2 -subj '/CN=KX test " + std::string(ca) +
                        "' -keyout " + ca + ".key -out " + ca + ".pem",
                    dir);
        writeFile(dir / "ca.cnf", "[ca]\ndefault_ca=t\n[t]\ndatabase=index.txt\nnew_certs_dir=.\n"
                                  "serial=serial\ndefault_md=sha256\nunique_subject=no\npolicy=p\n["
                                  "p]\ncommonName=supplied\n");
        writeFile(dir / "index.txt", "");
        writeFile(dir / "serial", "01\n");
        sign("good", "127.0.0.1", "IP:127.0.0.1", "");
        sign("expired", "127.0.0.1", "IP:127.0.0.1",
             "-startdate 20200101000000Z -enddate 20200102000000Z");
        sign("elsewhere", "other.example", "DNS:other.example", "");
        // libcurl's pin of the good certificate's key: sha256// + base64 of its SHA-256.
        openssl("pkey -in good.key -pubout -outform der -out good.der", dir);
        openssl("dgst -sha256 -binary -out good.sha good.der", dir);
        openssl("base64 -A -in good.sha -out good.pin", dir);
    }
    std::string file(const std::string& name) const { return (dir / name).string(); }
    std::string pin() const { return "sha256//" + readFile(dir / "good.pin"); }

private:
    void sign(const std::string& name, const std::string& host, const std::string& altName,
              const std::string& dates) {
        const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        openssl("req -new " + ec + " -subj /CN=" + host + " -keyout " + name + ".key -out " + name +
                    ".csr",
                dir);
        writeFile(dir / (name + ".ext"), "subjectAltName=" + altName + "\n");
        openssl("ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in " + name +
                    ".csr -out " + name + ".pem -extfile " + name + ".ext " +
                    (dates.empty() ? "-days 1" : dates),
                dir);
    }

    const kxtest::TempFolder folder{"kx-ca"};
    const fs::path dir = folder.path();
};

const TestCa& ca() {
    static const TestCa made;
    return made;
}

struct TlsCase {
    const char* name;
    const char* certificate; // the server's
    bool verify;
    const char* caFile; // "" : the system's store
    bool pinned;        // pin the good certificate's key
    bool accepted;
};

const TlsCase kCases[] = {
    {"RightCa", "good", true, "ca.pem", false, true},
    {"OtherCa", "good", true, "other.pem", false, false},
    {"SystemStore", "good", true, "", false, false},
    {"Expired", "expired", true, "ca.pem", false, false},
    {"NameMismatch", "elsewhere", true, "ca.pem", false, false},
    {"VerifyOffAcceptsAnything", "expired", false, "", false, true},
    {"PinnedKeyMatches", "good", true, "ca.pem", true, true},
    {"PinnedKeyDiffers", "elsewhere", false, "", true, false},
};

class Tls : public ::testing::TestWithParam<TlsCase> {
protected:
    std::unique_ptr<Lighttpd> serve() {
        Lighttpd::Setup setup;
        setup.tls = true;
        const std::string name = GetParam().certificate;
        return std::make_unique<Lighttpd>(
            setup, Lighttpd::Identity{ca().file(name + ".pem"), ca().file(name + ".key")});
    }
    std::string caFile() const {
        return *GetParam().caFile ? ca().file(GetParam().caFile) : std::string();
    }
    std::string pin() const { return GetParam().pinned ? ca().pin() : std::string(); }
    std::string configKeys() const {
        return std::string("<SSLVerify>") + (GetParam().verify ? "1" : "0") +
               "</SSLVerify><CAFile>" + caFile() + "</CAFile><PinnedPublicKey>" + pin() +
               "</PinnedPublicKey>";
    }
};

// The updater: the keys as Updater reads them from config.ini, then a GET. An
// accepted server answers (401 here: the served tree wants a login); a
// refused one is never asked anything.
TEST_P(Tls, UpdaterTalksOnlyToAServerItCanVerify) {
    const auto server = serve();
    const kxtest::TempFolder folder("kx-tls-upd");
    const fs::path home = folder.path();
    writeFile(home / "config.ini", "<KX><Config><Server>127.0.0.1</Server><Port>" +
                                       std::to_string(server->port()) + "</Port><SSL>1</SSL>" +
                                       configKeys() + "</Config></KX>\n");
    const fs::path previous = fs::current_path();
    fs::current_path(home);
    { Updater reads; }
    fs::current_path(previous);
    EXPECT_EQ(Downloader::Current().tls.verify, GetParam().verify);
    EXPECT_EQ(Downloader::Current().tls.caFile, caFile());

    Downloader downloader("127.0.0.1", static_cast<unsigned>(server->port()), true);
    std::string text;
    downloader.Download("/list.md5", text);
    Downloader::Configure(Downloader::Settings());
    if (GetParam().accepted) {
        EXPECT_NE(downloader.responseCode, 0) << downloader.reason;
        EXPECT_FALSE(server->requestLines().empty());
    } else {
        EXPECT_EQ(downloader.responseCode, 0);
        EXPECT_NE(downloader.error, 0);
        EXPECT_NE(downloader.reason, "");
        EXPECT_TRUE(server->requestLines().empty()) << server->log();
    }
    EXPECT_EQ(downloader.reason.find('\n'), std::string::npos);
}

// The agent program: an accepted server stores both data files; a refused
// one never receives the Authorization header, and the log says why.
TEST_P(Tls, AgentSendsItsPasswordOnlyToAServerItCanVerify) {
    const auto server = serve();
    const kxtest::TempFolder folder("kx-tls-agt");
    const fs::path home = folder.path();
    writeFile(home / "config.ini", "<KX><Config><Server>127.0.0.1</Server><Port>" +
                                       std::to_string(server->port()) +
                                       "</Port><Username>kx</Username><Password>secret</Password>"
                                       "<SSL>1</SSL>" +
                                       configKeys() + "</Config></KX>\n");
    writeFile(home / "macInventory.sh", "#!/bin/sh\nmkdir -p result && cp '" +
                                            std::string(KX_SOURCE_DIR) +
                                            "/tests/agent/fixtures/linux/'* result/\n");
    fs::permissions(home / "macInventory.sh", fs::owner_all);
    const std::string command = "cd '" + home.string() + "' && '" + KX_BINARY_DIR +
                                "/KX_InventoryAGT' tmp > stdout.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string out = readFile(home / "stdout.txt");
    std::string log;
    for (fs::directory_iterator it(home / "log"), end; it != end; ++it)
        log += readFile(it->path());

    EXPECT_NE(out.find("end\n"), std::string::npos);
    int stored = 0;
    for (fs::directory_iterator it(server->spool()), end; it != end; ++it)
        ++stored;
    if (GetParam().accepted) {
        EXPECT_EQ(stored, 2) << out;
        EXPECT_EQ(out.find("upload err"), std::string::npos);
    } else {
        EXPECT_EQ(stored, 0);
        EXPECT_NE(out.find("upload err"), std::string::npos);
        EXPECT_NE(log.find("|connect err:"), std::string::npos) << log;
        EXPECT_EQ(server->log().find("Authorization"), std::string::npos) << server->log();
        EXPECT_TRUE(server->requestLines().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Certificates, Tls, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
