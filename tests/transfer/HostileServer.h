#pragma once
// An update or WebDAV server on 127.0.0.1 that answers one kind of request
// the way a hostile or broken server would, and every other request well:
//
//   Drip           headers, then 1 byte every 0.5 s
//   Endless        headers without a length, then bytes as fast as they go
//   Huge           an announced length of 1 TiB, then bytes as fast as they go
//   StallAfterHeaders  headers announcing 1000 bytes, then silence
//   Garbage        bytes that are no HTTP at all
//
// Requests whose target begins with the hostile prefix get the hostile
// answer; the others are looked up in the table of good answers (by exact
// target, or by method for "PROPFIND" and "PUT"), else 404.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/webdav/SocketServer.h"

namespace kxtest {

enum class Hostility { Drip, Endless, Huge, StallAfterHeaders, Garbage };

const char* name(Hostility hostility);

class HostileServer {
public:
    HostileServer(Hostility answer, std::string hostilePrefix,
                  std::map<std::string, std::string> goodAnswers);
    ~HostileServer();

    int port() const { return server->port(); }
    // How many requests met the hostile answer.
    int hostileRequests() const { return hostile; }
    // The head of every request received, in order.
    std::vector<std::string> heads() const;

private:
    bool handle(int socket);
    void behave(int socket);

    Hostility hostility;
    std::string prefix;
    std::map<std::string, std::string> good;
    std::atomic<bool> stopping{false};
    std::atomic<int> hostile{0};
    mutable std::mutex lock;
    std::vector<std::string> requestHeads;
    std::unique_ptr<SocketServer> server;
};

} // namespace kxtest
