#pragma once
// A real WebDAV server for one test: lighttpd with mod_webdav and HTTP Basic
// authentication ("kx" / "secret"), on 127.0.0.1 and a free port, serving a
// temporary folder that holds "SPOOL/agent/decryptdata/". Over HTTPS with a
// throw-away self-signed certificate when asked. Stopped and removed with
// the object, also when the test fails.

#include <sys/types.h>

#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>

// readFile and writeFile, which the callers of this server use on its folders.
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

namespace kxtest {

class Lighttpd {
public:
    struct Setup {
        bool tls = false;
        // Extra configuration lines (for instance a refusal for some URLs).
        std::string extra;
        // Leaves the "SPOOL" folder out of the served tree.
        bool withoutSpool = false;
    };
    // With `tls`: the server's certificate and key (PEM files); empty: a
    // throw-away self-signed certificate.
    struct Identity {
        std::string certificate;
        std::string key;
    };

    explicit Lighttpd(const Setup& setup, const Identity& identity = Identity());
    Lighttpd() : Lighttpd(Setup()) {}
    ~Lighttpd();
    Lighttpd(const Lighttpd&) = delete;
    Lighttpd& operator=(const Lighttpd&) = delete;

    int port() const { return listenPort; }
    // "http://127.0.0.1:<port>" or "https://…".
    std::string base() const;
    // The served folder: the server's "/" on disk.
    boost::filesystem::path documents() const { return folder / "htdocs"; }
    // The folder of "/SPOOL/agent/decryptdata/" on disk.
    boost::filesystem::path spool() const {
        return documents() / "SPOOL" / "agent" / "decryptdata";
    }
    // How many requests of `method` the server has received so far.
    int requests(const std::string& method) const;
    // The requests the server has received so far, as "<method> <path>", in order.
    std::vector<std::string> requestLines() const;
    // The server's error log, which holds every request head it received.
    std::string log() const;

private:
    bool start(const Setup& setup);
    void stop();

    TempFolder folder{"kx-lighttpd"};
    bool tls;
    int listenPort = 0;
    pid_t pid = -1;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
int freePort();

// Waits up to `seconds` until something accepts connections on 127.0.0.1:`port`.
bool waitForListener(int port, double seconds);

} // namespace kxtest
