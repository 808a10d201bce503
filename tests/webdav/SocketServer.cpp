#include "tests/webdav/SocketServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace kxtest {

SocketServer::SocketServer(Handler onConnection) : handler(std::move(onConnection)) {
    // Close-on-exec: a program a test starts holds none of the server's sockets.
    listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener, 16);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    listenPort = ntohs(address.sin_port);
    if (pipe2(wake, O_CLOEXEC) != 0)
        std::abort();
    serving = std::thread(&SocketServer::serve, this);
}

SocketServer::~SocketServer() {
    const char stop = 's';
    (void)!write(wake[1], &stop, 1);
    serving.join();
    for (int connection : kept)
        close(connection);
    close(listener);
    close(wake[0]);
    close(wake[1]);
}

void SocketServer::serve() {
    for (;;) {
        pollfd watched[2] = {{listener, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (poll(watched, 2, -1) < 0 || watched[1].revents)
            return;
        const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        if (handler(connection))
            kept.push_back(connection);
        else
            close(connection);
    }
}

Received readRequest(int socket, std::size_t bodyLimit) {
    Received request;
    std::string data;
    char chunk[65536];
    std::string::size_type end;
    while ((end = data.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t got = recv(socket, chunk, sizeof chunk, 0);
        if (got <= 0)
            return request;
        data.append(chunk, static_cast<std::size_t>(got));
    }
    request.head = data.substr(0, end + 4);
    request.body = data.substr(end + 4);
    std::istringstream(request.head) >> request.method >> request.target;

    std::size_t length = 0;
    const std::string::size_type field = request.head.find("Content-Length: ");
    if (field != std::string::npos)
        length = std::strtoull(request.head.c_str() + field + 16, nullptr, 10);
    const bool expects = request.head.find("Expect: 100-continue") != std::string::npos;
    if (length > 0 && expects && bodyLimit > 0)
        writeAll(socket, "HTTP/1.1 100 Continue\r\n\r\n");
    const std::size_t wanted = std::min(length, bodyLimit);
    while (request.body.size() < wanted) {
        const ssize_t got =
            recv(socket, chunk, std::min(sizeof chunk, wanted - request.body.size()), 0);
        if (got <= 0)
            break;
        request.body.append(chunk, static_cast<std::size_t>(got));
    }
    return request;
}

void writeAll(int socket, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t done = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (done <= 0)
            return;
        sent += static_cast<std::size_t>(done);
    }
}

void relay(int socket, int port, const std::function<void(const Received&)>& onRequest) {
    std::string head;
    char chunk[65536];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = recv(socket, chunk, sizeof chunk, 0);
        if (got <= 0)
            return;
        head.append(chunk, static_cast<std::size_t>(got));
    }
    Received request;
    std::istringstream(head) >> request.method >> request.target;
    onRequest(request);

    const int upstream = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(upstream, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        writeAll(upstream, head);
        bool clientOpen = true, upstreamOpen = true;
        while (upstreamOpen) {
            pollfd watched[2] = {{socket, static_cast<short>(clientOpen ? POLLIN : 0), 0},
                                 {upstream, POLLIN, 0}};
            if (poll(watched, 2, 30000) <= 0)
                break;
            for (int side = 0; side < 2; ++side) {
                if (!(watched[side].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const int from = side == 0 ? socket : upstream;
                const int to = side == 0 ? upstream : socket;
                const ssize_t got = recv(from, chunk, sizeof chunk, 0);
                if (got > 0) {
                    writeAll(to, std::string(chunk, static_cast<std::size_t>(got)));
                } else {
                    shutdown(to, SHUT_WR);
                    (side == 0 ? clientOpen : upstreamOpen) = false;
                }
            }
        }
    }
    close(upstream);
}

std::string answer(int status, const std::string& reason, const std::string& body,
                   const std::string& contentType) {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

} // namespace kxtest
