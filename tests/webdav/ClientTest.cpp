// Every client operation against a real lighttpd, over HTTP and over HTTPS.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/operations.hpp>

#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"
#include "tests/webdav/Lighttpd.h"
#include "webdav/Client.h"

namespace {

namespace fs = boost::filesystem;
using kxtest::Lighttpd;
using kxtest::readFile;
using kxtest::writeFile;

std::unique_ptr<WebDAV::Client> connect(const std::string& base,
                                        const std::string& password = "secret",
                                        const std::string& root = "/SPOOL/") {
    return std::unique_ptr<WebDAV::Client>(WebDAV::Client::Init({{"webdav_hostname", base},
                                                                 {"webdav_root", root},
                                                                 {"webdav_login", "kx"},
                                                                 {"webdav_password", password}}));
}

// Pseudo-random bytes, every value included.
std::string bytes(std::size_t size) {
    std::string data(size, '\0');
    unsigned state = 12345;
    for (char& c : data) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return data;
}

class Client : public ::testing::TestWithParam<bool> {
protected:
    Client() : server(Lighttpd::Setup{GetParam(), "", false}), client(connect(server.base())) {}

    int requests(const std::string& method) const { return server.requests(method); }

    Lighttpd server;
    std::unique_ptr<WebDAV::Client> client;
    const kxtest::TempFolder local{"kx-webdav-local"};
};

INSTANTIATE_TEST_SUITE_P(Http, Client, ::testing::Values(false),
                         [](const auto&) { return std::string("Http"); });
INSTANTIATE_TEST_SUITE_P(Https, Client, ::testing::Values(true),
                         [](const auto&) { return std::string("Https"); });

TEST_P(Client, CheckFindsTheRootOnlyWithTheRightPasswordAndAnExistingPath) {
    EXPECT_TRUE(client->check("/"));
    EXPECT_TRUE(client->check());
    EXPECT_TRUE(client->check("/agent/decryptdata/"));
    EXPECT_FALSE(client->check("/missing/"));
    EXPECT_FALSE(connect(server.base(), "wrong")->check("/"));
    EXPECT_FALSE(connect(server.base(), "secret", "/NOPE/")->check("/"));
}

TEST_P(Client, EveryUploadFormStoresTheBytesExactly) {
    const std::string data = bytes(3 * 1024 * 1024 + 17);
    std::istringstream stream(data);
    EXPECT_TRUE(client->upload_from("/agent/decryptdata//stream.dat", stream));
    EXPECT_TRUE(client->upload_from("/agent/decryptdata/buffer.dat", data.data(), data.size()));
    writeFile(local / "file.dat", data);
    EXPECT_TRUE(client->upload("/agent/decryptdata/file.dat", (local / "file.dat").string()));
    std::istringstream empty;
    EXPECT_TRUE(client->upload_from("/agent/decryptdata/empty.dat", empty));

    for (const char* name : {"stream.dat", "buffer.dat", "file.dat"})
        EXPECT_TRUE(readFile(server.spool() / name) == data) << name;
    EXPECT_TRUE(fs::exists(server.spool() / "empty.dat"));
    EXPECT_EQ(fs::file_size(server.spool() / "empty.dat"), 0u);
}

TEST_P(Client, PathsWithBlanksAndPercentSignsAreQuoted) {
    const std::string name = "100%25 done+ü.dat";
    EXPECT_TRUE(client->upload_from("/agent/decryptdata/" + name, "x", 1));
    EXPECT_EQ(readFile(server.spool() / name), "x");
    EXPECT_EQ(client->info("/agent/decryptdata/" + name).at("size"), "1");
    EXPECT_EQ(client->list("/agent/decryptdata/"), (WebDAV::strings_t{name}));
}

TEST_P(Client, AnUnreadableSourceSendsNothing) {
    std::ifstream unopened((local / "missing.dat").string());
    EXPECT_FALSE(client->upload_from("/agent/decryptdata/a.dat", unopened));
    EXPECT_FALSE(client->upload("/agent/decryptdata/b.dat", (local / "missing.dat").string()));
    EXPECT_EQ(requests("PUT"), 0);
    EXPECT_TRUE(fs::is_empty(server.spool()));
}

TEST_P(Client, UploadReportsProgressAndStopsWhenTheProgressFunctionSaysSo) {
    const std::string data = bytes(256 * 1024);
    unsigned long lastTotal = 0, lastNow = 0;
    EXPECT_TRUE(client->upload_from(
        "/agent/decryptdata/p.dat", data.data(), data.size(),
        [&](void* user, unsigned long, unsigned long, unsigned long total, unsigned long now) {
            EXPECT_EQ(user, nullptr);
            lastTotal = total;
            lastNow = now;
            return 0;
        }));
    EXPECT_EQ(lastTotal, data.size());
    EXPECT_EQ(lastNow, data.size());
    EXPECT_FALSE(client->upload_from(
        "/agent/decryptdata/q.dat", data.data(), data.size(),
        [](void*, unsigned long, unsigned long, unsigned long, unsigned long) { return 1; }));
}

TEST_P(Client, EveryDownloadFormReturnsTheStoredBytes) {
    const std::string data = bytes(2 * 1024 * 1024 + 3);
    writeFile(server.spool() / "d.dat", data);

    EXPECT_TRUE(client->download("/agent/decryptdata/d.dat", (local / "d.dat").string()));
    EXPECT_TRUE(readFile(local / "d.dat") == data);

    char* buffer = nullptr;
    unsigned long long size = 0;
    ASSERT_TRUE(client->download_to("/agent/decryptdata/d.dat", buffer, size));
    const std::unique_ptr<char[]> owned(buffer);
    EXPECT_TRUE(std::string(buffer, size) == data);

    std::ostringstream stream;
    EXPECT_TRUE(client->download_to("/agent/decryptdata/d.dat", stream));
    EXPECT_TRUE(stream.str() == data);
}

TEST_P(Client, AFailedDownloadLeavesNoFileAndAnUncreatableOneSendsNoRequest) {
    EXPECT_FALSE(client->download("/agent/decryptdata/missing.dat", (local / "m.dat").string()));
    EXPECT_FALSE(fs::exists(local / "m.dat"));

    writeFile(server.spool() / "d.dat", "data");
    const int before = requests("PROPFIND") + requests("GET");
    EXPECT_FALSE(
        client->download("/agent/decryptdata/d.dat", (local / "no" / "such" / "d.dat").string()));
    EXPECT_EQ(requests("PROPFIND") + requests("GET"), before);

    std::ostringstream broken;
    broken.setstate(std::ios::badbit);
    EXPECT_FALSE(client->download_to("/agent/decryptdata/d.dat", broken));
}

TEST_P(Client, AsynchronousFormsReportToTheirCallback) {
    writeFile(local / "up.dat", "asynchronous");
    std::promise<bool> uploaded;
    client->async_upload("/agent/decryptdata/up.dat", (local / "up.dat").string(),
                         [&](bool done) { uploaded.set_value(done); });
    auto result = uploaded.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(result.get());
    EXPECT_EQ(readFile(server.spool() / "up.dat"), "asynchronous");

    std::promise<bool> downloaded;
    client->async_download("/agent/decryptdata/up.dat", (local / "down.dat").string(),
                           [&](bool done) { downloaded.set_value(done); });
    result = downloaded.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(result.get());
    EXPECT_EQ(readFile(local / "down.dat"), "asynchronous");
}

TEST_P(Client, ListInfoAndIsDirDescribeTheTree) {
    writeFile(server.spool() / "KX-0-12.dat", "12345");
    fs::create_directories(server.spool() / "sub dir");

    WebDAV::strings_t names = client->list("/agent/decryptdata");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (WebDAV::strings_t{"KX-0-12.dat", "sub dir/"}));
    EXPECT_TRUE(client->list("/agent/decryptdata/KX-0-12.dat").empty());
    EXPECT_TRUE(client->list("/missing/").empty());

    const WebDAV::dict_t file = client->info("/agent/decryptdata/KX-0-12.dat");
    EXPECT_EQ(file.at("size"), "5");
    EXPECT_EQ(file.at("type"), "");
    EXPECT_FALSE(file.at("modified").empty());
    EXPECT_EQ(client->info("/agent/decryptdata/").at("type"), "d:collection");
    EXPECT_TRUE(client->info("/missing.dat").empty());

    EXPECT_TRUE(client->is_dir("/agent/decryptdata/"));
    EXPECT_TRUE(client->is_dir("/agent/decryptdata/sub dir/"));
    EXPECT_FALSE(client->is_dir("/agent/decryptdata/KX-0-12.dat"));
    EXPECT_FALSE(client->is_dir("/missing/"));
}

TEST_P(Client, CreateDirectoryMakesMissingParentsFirstAndLeavesExistingOnes) {
    EXPECT_TRUE(client->create_directory("/agent/decryptdata/"));
    EXPECT_EQ(requests("MKCOL"), 0);

    EXPECT_FALSE(client->create_directory("/one/two/"));
    EXPECT_FALSE(fs::exists(server.documents() / "SPOOL" / "one"));

    EXPECT_TRUE(client->create_directory("/one/two", true));
    EXPECT_TRUE(fs::is_directory(server.documents() / "SPOOL" / "one" / "two"));
    std::vector<std::string> made;
    for (const std::string& line : server.requestLines())
        if (boost::starts_with(line, "MKCOL "))
            made.push_back(line);
    // The first, refused, attempt without `recursive`, then the upper level first.
    EXPECT_EQ(made, (std::vector<std::string>{"MKCOL /SPOOL/one/two/", "MKCOL /SPOOL/one/",
                                              "MKCOL /SPOOL/one/two/"}));

    // Under a root that does not exist the recursion ends at the root.
    EXPECT_FALSE(connect(server.base(), "secret", "/NOPE/")->create_directory("/a/b/", true));
    EXPECT_FALSE(fs::exists(server.documents() / "NOPE"));
}

TEST_P(Client, MoveAndCopyAddressTheTargetUnderTheRoot) {
    writeFile(server.spool() / "a.dat", "moved");
    EXPECT_TRUE(client->copy("/agent/decryptdata/a.dat", "/agent/copy of 100%.dat"));
    EXPECT_TRUE(client->move("/agent/decryptdata/a.dat", "/agent/b.dat"));
    EXPECT_EQ(readFile(server.documents() / "SPOOL" / "agent" / "copy of 100%.dat"), "moved");
    EXPECT_EQ(readFile(server.documents() / "SPOOL" / "agent" / "b.dat"), "moved");
    EXPECT_FALSE(fs::exists(server.spool() / "a.dat"));
    EXPECT_FALSE(client->move("/agent/decryptdata/a.dat", "/agent/c.dat"));
    EXPECT_FALSE(client->copy("/missing.dat", "/agent/c.dat"));
}

TEST_P(Client, CleanDeletesWhatExistsAndSendsNoDeleteForWhatDoesNot) {
    writeFile(server.spool() / "gone.dat", "x");
    EXPECT_TRUE(client->clean("/agent/decryptdata/gone.dat"));
    EXPECT_FALSE(fs::exists(server.spool() / "gone.dat"));
    EXPECT_EQ(requests("DELETE"), 1);
    EXPECT_TRUE(client->clean("/agent/decryptdata/never.dat"));
    EXPECT_EQ(requests("DELETE"), 1);
}

TEST_P(Client, FreeSizeIsZeroWhenTheServerHasNoQuota) {
    EXPECT_EQ(client->free_size(), 0u);
    EXPECT_EQ(server.requestLines(), (std::vector<std::string>{"PROPFIND /"}));
}

} // namespace
