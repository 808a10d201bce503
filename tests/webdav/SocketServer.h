#pragma once
// A small TCP server on 127.0.0.1 for the answers a real server does not
// give: silence, a dropped connection, a canned multistatus. It serves one
// connection at a time on its own thread; `onConnection` gets each accepted
// socket and returns whether to keep it open (unanswered) until the server
// stops. Stopped with the object.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kxtest {

class SocketServer {
public:
    using Handler = std::function<bool(int socket)>;

    explicit SocketServer(Handler onConnection);
    ~SocketServer();
    SocketServer(const SocketServer&) = delete;
    SocketServer& operator=(const SocketServer&) = delete;

    int port() const { return listenPort; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(listenPort); }

private:
    void serve();

    Handler handler;
    int listener = -1;
    int listenPort = 0;
    int wake[2] = {-1, -1};
    std::vector<int> kept;
    std::thread serving;
};

// One HTTP request as it arrived: the head, and as much of the body as was read.
struct Received {
    std::string method;
    std::string target;
    std::string head;
    std::string body;
};

// Reads a request head, then at most `bodyLimit` bytes of the body its Content-Length announces.
Received readRequest(int socket, std::size_t bodyLimit = std::string::npos);

void writeAll(int socket, const std::string& bytes);

// Passes one connection on to 127.0.0.1:`port` unchanged, both ways, until
// both sides have finished; `onRequest` sees the request's method and target
// before the request is passed on.
void relay(int socket, int port, const std::function<void(const Received&)>& onRequest);

// An HTTP/1.1 answer with a body and "Connection: close".
std::string answer(int status, const std::string& reason, const std::string& body,
                   const std::string& contentType = "application/xml");

} // namespace kxtest
