// The client against servers that misbehave: down, silent, cutting the
// connection; and the exact quota request, answered by a scripted server.

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

#include "webdav/Client.h"
#include "tests/webdav/Lighttpd.h"
#include "tests/webdav/SocketServer.h"

namespace {

using kxtest::answer;
using kxtest::readRequest;
using kxtest::Received;
using kxtest::SocketServer;
using kxtest::writeAll;
using Clock = std::chrono::steady_clock;

// Short bounds, so that a stall costs the test seconds instead of a minute.
WebDAV::Limits shortBounds() {
    WebDAV::Limits limits;
    limits.bounds.connectSeconds = 2;
    limits.bounds.stallSeconds = 2;
    return limits;
}
const WebDAV::Limits shortLimits = shortBounds();

std::unique_ptr<WebDAV::Client> connect(const std::string& base) {
    return std::unique_ptr<WebDAV::Client>(WebDAV::Client::Init({{"webdav_hostname", base},
                                                                 {"webdav_root", "/SPOOL/"},
                                                                 {"webdav_login", "kx"},
                                                                 {"webdav_password", "secret"}},
                                                                shortLimits));
}

const std::string multistatus =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:multistatus xmlns:D=\"DAV:\"><D:response>"
    "<D:href>/SPOOL/</D:href><D:propstat><D:prop><D:resourcetype><D:collection/></D:resourcetype>"
    "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response></D:multistatus>\n";

TEST(ClientFaults, AServerThatIsDownFailsEveryOperationAtOnce) {
    const auto client = connect("http://127.0.0.1:" + std::to_string(kxtest::freePort()));
    const auto started = Clock::now();
    EXPECT_FALSE(client->check("/"));
    EXPECT_FALSE(client->upload_from("/agent/decryptdata/x.dat", "x", 1));
    EXPECT_FALSE(client->create_directory("/a/b/", true));
    EXPECT_TRUE(client->list("/").empty());
    EXPECT_EQ(client->free_size(), 0u);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
}

TEST(ClientFaults, AListenerThatNeverAnswersIsGivenUpByTheStallGuard) {
    SocketServer silent([](int) { return true; });
    const auto client = connect(silent.base());
    const auto started = Clock::now();
    EXPECT_FALSE(client->check("/"));
    EXPECT_FALSE(client->upload_from("/agent/decryptdata/x.dat", "x", 1));
    const auto spent = Clock::now() - started;
    EXPECT_GE(spent, std::chrono::seconds(2 * shortLimits.bounds.stallSeconds));
    EXPECT_LT(spent, std::chrono::seconds(2 * shortLimits.bounds.stallSeconds + 6));
}

TEST(ClientFaults, AConnectionDroppedMidBodyFailsTheTransfer) {
    // The request body: the server reads the head and a little of the body, then hangs up.
    SocketServer cutsRequest([](int socket) {
        readRequest(socket, 1000);
        shutdown(socket, SHUT_RDWR);
        return false;
    });
    const std::string large(4 * 1024 * 1024, 'k');
    EXPECT_FALSE(connect(cutsRequest.base())
                     ->upload_from("/agent/decryptdata/x.dat", large.data(), large.size()));

    // The answer body: announced longer than what comes before the hang-up.
    SocketServer cutsAnswer([](int socket) {
        readRequest(socket);
        writeAll(socket, "HTTP/1.1 201 Created\r\nContent-Length: 1000\r\n\r\nonly a part");
        return false;
    });
    const auto client = connect(cutsAnswer.base());
    EXPECT_FALSE(client->upload_from("/agent/decryptdata/x.dat", "x", 1));
    std::ostringstream body;
    EXPECT_FALSE(client->download_to("/agent/decryptdata/x.dat", body));
}

TEST(ClientFaults, StatusesOutsideTwoHundredsAreFailures) {
    const struct {
        int status;
        const char* reason;
        bool success;
    } cases[] = {{200, "OK", true},           {201, "Created", true}, {204, "No Content", true},
                 {207, "Multi-Status", true}, {301, "Moved", false},  {401, "Unauthorized", false},
                 {404, "Not Found", false},   {500, "Error", false}};
    for (const auto& c : cases) {
        SocketServer scripted([&](int socket) {
            readRequest(socket);
            writeAll(socket, answer(c.status, c.reason, ""));
            return false;
        });
        EXPECT_EQ(connect(scripted.base())->upload_from("/x.dat", "x", 1), c.success) << c.status;
    }
}

TEST(ClientFaults, FreeSizeSendsTheQuotaRequestAndReadsTheAnswer) {
    std::vector<Received> seen;
    SocketServer scripted([&](int socket) {
        seen.push_back(readRequest(socket));
        writeAll(socket,
                 answer(207, "Multi-Status",
                        "<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/</D:href>"
                        "<D:propstat><D:prop><D:quota-available-bytes>123456789012"
                        "</D:quota-available-bytes><D:quota-used-bytes>7</D:quota-used-bytes>"
                        "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>"
                        "</D:response></D:multistatus>"));
        return false;
    });
    EXPECT_EQ(connect(scripted.base())->free_size(), 123456789012ull);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "PROPFIND");
    EXPECT_EQ(seen[0].target, "/");
    EXPECT_NE(seen[0].head.find("\r\nDepth: 0\r\n"), std::string::npos);
    EXPECT_NE(seen[0].head.find("\r\nContent-Type: text/xml\r\n"), std::string::npos);
    EXPECT_NE(seen[0].head.find("\r\nAuthorization: Basic "), std::string::npos);
    EXPECT_EQ(seen[0].body, "<D:propfind xmlns:D=\"DAV:\">\n"
                            "\t<D:prop>\n"
                            "\t\t<D:quota-available-bytes />\n"
                            "\t\t<D:quota-used-bytes />\n"
                            "\t</D:prop>\n"
                            "</D:propfind>\n");
}

TEST(ClientFaults, RequestsCarryTheirHeadersAndQuotedTargets) {
    std::vector<Received> seen;
    SocketServer scripted([&](int socket) {
        seen.push_back(readRequest(socket));
        writeAll(socket, answer(207, "Multi-Status", multistatus));
        return false;
    });
    // Without login and password the credentials are the single colon.
    const std::unique_ptr<WebDAV::Client> anonymous(
        WebDAV::Client::Init({{"webdav_hostname", scripted.base()}, {"webdav_root", "/SPOOL/"}}));
    EXPECT_TRUE(anonymous->check("/"));
    EXPECT_TRUE(anonymous->move("/a b.dat", "/new/100% x.dat"));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].target, "/SPOOL/");
    EXPECT_NE(seen[0].head.find("\r\nDepth: 1\r\n"), std::string::npos);
    EXPECT_NE(seen[0].head.find("\r\nAuthorization: Basic Og==\r\n"), std::string::npos);
    EXPECT_EQ(seen[1].target, "/SPOOL/a%20b.dat");
    EXPECT_EQ(seen[2].method, "MOVE");
    EXPECT_NE(seen[2].head.find("\r\nDestination: /SPOOL/new/100%25%20x.dat\r\n"),
              std::string::npos)
        << seen[2].head;
}

} // namespace
