#include "tests/webdav/Lighttpd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/operations.hpp>

namespace fs = boost::filesystem;

namespace kxtest {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::string config(const fs::path& folder, int port, bool tls, const std::string& extra) {
    const std::string dir = folder.string();
    std::ostringstream text;
    text << "server.document-root = \"" << dir << "/htdocs\"\n"
         << "server.bind = \"127.0.0.1\"\n"
         << "server.port = " << port << "\n"
         << "server.errorlog = \"" << dir << "/error.log\"\n"
         << "server.upload-dirs = ( \"" << dir << "/upload\" )\n"
         << "server.modules = ( \"mod_access\", \"mod_auth\", \"mod_authn_file\", \"mod_webdav\""
         << (tls ? ", \"mod_openssl\"" : "")
         << " )\n"
         // Every request head goes to the error log at once (the access log is buffered).
         << "debug.log-request-header = \"enable\"\n"
         << "webdav.activate = \"enable\"\n"
         << "webdav.is-readonly = \"disable\"\n"
         << "auth.backend = \"plain\"\n"
         << "auth.backend.plain.userfile = \"" << dir << "/users\"\n"
         << "auth.require = ( \"/\" => ( \"method\" => \"basic\", \"realm\" => \"kx\", "
            "\"require\" => \"valid-user\" ) )\n";
    if (tls)
        text << "ssl.engine = \"enable\"\n"
             << "ssl.pemfile = \"" << dir << "/cert.pem\"\n"
             << "ssl.privkey = \"" << dir << "/key.pem\"\n";
    text << extra << "\n";
    return text.str();
}

} // namespace

int freePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

bool waitForListener(int port, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = loopback(port);
        const bool up =
            connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        close(probe);
        if (up)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

Lighttpd::Lighttpd(const Setup& setup, const Identity& identity) : tls(setup.tls) {
    fs::create_directories(folder / "htdocs");
    fs::create_directories(folder / "upload");
    if (!setup.withoutSpool)
        fs::create_directories(spool());
    writeFile(folder / "users", "kx:secret\n");
    if (tls && !identity.certificate.empty()) {
        fs::copy_file(identity.certificate, folder / "cert.pem");
        fs::copy_file(identity.key, folder / "key.pem");
    } else if (tls) {
        const std::string command =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
            "-subj /CN=127.0.0.1 -keyout '" +
            (folder / "key.pem").string() + "' -out '" + (folder / "cert.pem").string() +
            "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("openssl could not make a certificate");
    }
    // The port may be taken between the probe and lighttpd's bind: try again.
    for (int attempt = 0; attempt < 5; ++attempt)
        if (start(setup))
            return;
    stop();
    throw std::runtime_error("lighttpd did not start: " + readFile(folder / "error.log"));
}

// The folder goes after the server has stopped.
Lighttpd::~Lighttpd() { stop(); }

std::string Lighttpd::base() const {
    return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(listenPort);
}

std::vector<std::string> Lighttpd::requestLines() const {
    // HTTP/1.1: "… rqst: MKCOL /SPOOL/a/ HTTP/1.1"; HTTP/2: "… rqst: :method: MKCOL", "… rqst:
    // :path: /SPOOL/a/".
    std::istringstream log(readFile(folder / "error.log"));
    std::vector<std::string> requests;
    for (std::string line; std::getline(log, line);) {
        const std::string::size_type at = line.find(" rqst: ");
        if (at == std::string::npos)
            continue;
        const std::string field = line.substr(at + 7);
        if (boost::starts_with(field, ":method: "))
            requests.push_back(field.substr(9));
        else if (boost::starts_with(field, ":path: ") && !requests.empty())
            requests.back() += " " + field.substr(7);
        else if (field.size() > 9 && boost::ends_with(field, " HTTP/1.1"))
            requests.push_back(field.substr(0, field.size() - 9));
    }
    return requests;
}

std::string Lighttpd::log() const { return readFile(folder / "error.log"); }

int Lighttpd::requests(const std::string& method) const {
    int count = 0;
    for (const std::string& line : requestLines())
        count += boost::starts_with(line, method + " ");
    return count;
}

bool Lighttpd::start(const Setup& setup) {
    listenPort = freePort();
    const fs::path file = folder / "lighttpd.conf";
    writeFile(file, config(folder.path(), listenPort, tls, setup.extra));
    pid = fork();
    if (pid == 0) {
        // The server goes with the test program, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        execl("/usr/sbin/lighttpd", "lighttpd", "-D", "-f", file.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        if (waitForListener(listenPort, 0.05))
            return true;
    }
    stop();
    return false;
}

void Lighttpd::stop() {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
}

} // namespace kxtest
