// The updater's transfers against a real lighttpd on 127.0.0.1.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "updater/Downloader.h"
#include "tests/updater/TestServer.h"

namespace {

using namespace kxtest;
namespace fs = boost::filesystem;

class DownloaderTest : public ::testing::Test {
protected:
    TempFolder dir;
    WebServer server{dir.path(), false};
    Downloader downloader{"127.0.0.1", static_cast<unsigned>(server.port()), false};
};

TEST_F(DownloaderTest, DownloadAppendsTheBodyAndRecordsTheStatus) {
    writeFile(server.www() / "list.md5", "d41d8cd98f00b204e9800998ecf8427e");
    std::string text = "before:";
    ASSERT_TRUE(downloader.Download("/list.md5", text));
    EXPECT_EQ(text, "before:d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(downloader.responseCode, 200);
    EXPECT_EQ(downloader.error, 0);
}

// An error page is never content: the transfer fails with the status kept,
// the text stays as it was and no file is left.
TEST_F(DownloaderTest, AnErrorStatusIsAFailedTransferAndKeepsNothing) {
    std::string text = "before";
    EXPECT_FALSE(downloader.Download("/missing.txt", text));
    EXPECT_EQ(downloader.responseCode, 404);
    EXPECT_EQ(downloader.error, 22); // CURLE_HTTP_RETURNED_ERROR
    EXPECT_EQ(text, "before");

    for (const char* path : {"/missing.txt", "/gone.py/list.txt"}) {
        std::string local = (dir.path() / "list.txt").string();
        writeFile(local, "an earlier list");
        EXPECT_FALSE(downloader.DownloadtoFile(path, local, nullptr, Downloader::Fetch::List));
        EXPECT_EQ(downloader.responseCode, 404) << path;
        EXPECT_FALSE(fs::exists(local)) << path;
    }
}

TEST_F(DownloaderTest, DownloadToFileStoresTheBytesAndTheirDigest) {
    std::string content;
    for (int i = 0; content.size() < 2 * 1024 * 1024 + 5; ++i)
        content += static_cast<char>((i * 131) % 251);
    writeFile(server.www() / "modules" / "big.bin", content);
    std::string digest = "old";
    std::string local = (dir.path() / "big.bin").string();
    ASSERT_TRUE(downloader.DownloadtoFile("/modules/big.bin", local, &digest));
    EXPECT_EQ(readFile(local), content);
    EXPECT_EQ(digest, "old" + Md5Of(content));
}

TEST_F(DownloaderTest, DownloadToFileInAMissingFolderSendsNoRequest) {
    writeFile(server.www() / "a.txt", "a");
    std::string local = (dir.path() / "no-such-folder" / "a.txt").string();
    EXPECT_FALSE(downloader.DownloadtoFile("/a.txt", local));
    EXPECT_EQ(downloader.responseCode, 0);
    EXPECT_EQ(server.RequestsFor("GET", "/a.txt"), 0);
}

TEST_F(DownloaderTest, UploadSendsTheThreePartsOfTheForm) {
    std::string log = "2024/03/05 09:07:02|-|updater: boot\n";
    log += std::string("binary \0 and \r\n kept", 21);
    std::string local = (dir.path() / "logtmp.txt").string();
    writeFile(local, log);
    std::string response;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(downloader.Upload(local, "/upload.py/7", response));
    // The server's answer goes to the caller, never to the terminal.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    std::vector<Upload> uploads = server.Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].pathInfo, "/7");
    EXPECT_EQ(uploads[0].parts["impfile"], log);
    EXPECT_EQ(uploads[0].fileNames["impfile"], "logtmp.txt");
    EXPECT_EQ(uploads[0].parts["filename"], "upload.bin");
    EXPECT_EQ(uploads[0].parts["submit"], "send");
}

TEST(Downloader, RefusedConnectionFailsWithLibcurlsResultCode) {
    Downloader downloader("127.0.0.1", static_cast<unsigned>(UnusedPort()), false);
    std::string text;
    EXPECT_FALSE(downloader.Download("/list.txt", text));
    EXPECT_EQ(downloader.error, 7); // CURLE_COULDNT_CONNECT
    EXPECT_EQ(downloader.responseCode, 0);

    EXPECT_NE(downloader.reason, "");

    TempFolder dir;
    std::string response;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(downloader.Upload((dir.path() / "missing").string(), "/upload.py/0", response));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Downloader, ServerThatAcceptsAndNeverAnswersIsAbandonedByTheStallGuard) {
    // The kernel accepts the connection into the backlog; nobody ever answers.
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    Downloader downloader("127.0.0.1", ntohs(address.sin_port), false);
    std::string text;
    // The stall bound shortened to 2 s (connect, stall, document, file base).
    ::setenv("KX_TEST_TRANSFER_BOUNDS", "2,2,10,10", 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(downloader.Download("/list.md5", text));
    // libcurl's own clock ends the wait; counted in whole seconds, ours may
    // read 1.99 s for its 2 s.
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::unsetenv("KX_TEST_TRANSFER_BOUNDS");
    ::close(listener);
    EXPECT_EQ(downloader.error, 28); // CURLE_OPERATION_TIMEDOUT
    EXPECT_GE(seconds, 1.5);
    EXPECT_LE(seconds, 8);
}

TEST(Downloader, SelfSignedCertificateIsAccepted) {
    TempFolder dir;
    WebServer server(dir.path(), true);
    writeFile(server.www() / "list.md5", "abc");
    Downloader downloader("127.0.0.1", static_cast<unsigned>(server.port()), true);
    std::string text;
    ASSERT_TRUE(downloader.Download("/list.md5", text)) << downloader.error;
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(downloader.responseCode, 200);
}

} // namespace
