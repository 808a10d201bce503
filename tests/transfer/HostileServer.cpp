#include "tests/transfer/HostileServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

namespace kxtest {

namespace {

bool sendAll(int socket, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t done = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (done <= 0)
            return false;
        sent += static_cast<std::size_t>(done);
    }
    return true;
}

const std::string kBlock(64 * 1024, 'h');

} // namespace

const char* name(Hostility hostility) {
    switch (hostility) {
    case Hostility::Drip: return "Drip";
    case Hostility::Endless: return "Endless";
    case Hostility::Huge: return "Huge";
    case Hostility::StallAfterHeaders: return "StallAfterHeaders";
    case Hostility::Garbage: return "Garbage";
    }
    return "?";
}

HostileServer::HostileServer(Hostility answer, std::string hostilePrefix,
                             std::map<std::string, std::string> goodAnswers)
    : hostility(answer), prefix(std::move(hostilePrefix)), good(std::move(goodAnswers)),
      server(std::make_unique<SocketServer>([this](int socket) { return handle(socket); })) {}

HostileServer::~HostileServer() {
    stopping = true;
    server.reset();
}

bool HostileServer::handle(int socket) {
    const Received request = readRequest(socket);
    {
        std::lock_guard<std::mutex> hold(lock);
        requestHeads.push_back(request.head);
    }
    if (request.target.compare(0, prefix.size(), prefix) == 0) {
        ++hostile;
        behave(socket);
        return false;
    }
    auto found = good.find(request.target);
    if (found == good.end())
        found = good.find(request.method);
    if (found == good.end())
        sendAll(socket, answer(404, "Not Found", "missing"));
    else
        sendAll(socket, answer(request.method == "PUT"        ? 201
                               : request.method == "PROPFIND" ? 207
                                                              : 200,
                               "OK", found->second));
    return false;
}

std::vector<std::string> HostileServer::heads() const {
    std::lock_guard<std::mutex> hold(lock);
    return requestHeads;
}

// Goes on until the client gives up (a send fails) or the server stops.
void HostileServer::behave(int socket) {
    using namespace std::chrono_literals;
    switch (hostility) {
    case Hostility::Drip:
        if (!sendAll(socket,
                     "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n"))
            return;
        while (!stopping && sendAll(socket, "d"))
            std::this_thread::sleep_for(500ms);
        return;
    case Hostility::Endless:
        if (!sendAll(socket, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"))
            return;
        while (!stopping && sendAll(socket, kBlock)) {
        }
        return;
    case Hostility::Huge:
        if (!sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n\r\n"))
            return;
        while (!stopping && sendAll(socket, kBlock)) {
        }
        return;
    case Hostility::StallAfterHeaders:
        if (!sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"))
            return;
        while (!stopping) {
            pollfd watched{socket, POLLIN, 0};
            if (poll(&watched, 1, 100) > 0) {
                char byte;
                if (recv(socket, &byte, 1, MSG_DONTWAIT) <= 0)
                    return;
            }
        }
        return;
    case Hostility::Garbage: {
        std::string noise;
        for (int i = 0; i < 4096; ++i)
            noise += static_cast<char>((i * 37 + 11) % 256);
        sendAll(socket, noise);
        return;
    }
    }
}

} // namespace kxtest
