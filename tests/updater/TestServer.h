#pragma once
// What the updater's tests stand on: temporary folders, a real lighttpd on
// 127.0.0.1 (HTTP or HTTPS with a throw-away certificate) that serves the
// update list and modules and stores every multipart upload it receives, and
// a temporary installation folder for the updater to work in.

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

namespace kxtest {

namespace fs = boost::filesystem;

// One multipart POST as the server's upload handler stored it.
struct Upload {
    std::string pathInfo;                         // the request path after "/upload.py"
    std::map<std::string, std::string> parts;     // part name → bytes
    std::map<std::string, std::string> fileNames; // part name → file name given
};

// lighttpd serving `base`/www, stopped (by its PID) when destroyed.
// "/upload.py/<anything>" stores the parts of a multipart POST;
// "/gone.py/<anything>" answers 404 and breaks the body off (a failed transfer);
// "/status.py/<code>/<anything>" answers <code> with an error page.
class WebServer {
public:
    WebServer(const fs::path& base, bool secure);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    int port() const { return listenPort; }
    const fs::path& www() const { return docRoot; }
    // Every upload received so far, in order.
    std::vector<Upload> Uploads() const;
    // Stops the server, then counts the requests for `path` in its access log.
    int RequestsFor(const std::string& method, const std::string& path);
    // Stops the server, then counts every request in its access log.
    int AllRequests();
    void Stop();

private:
    bool StartOn(int port);

    fs::path root, docRoot, store;
    int listenPort = 0;
    pid_t pid = -1;
    bool https;
};

// A port on 127.0.0.1 that nothing listens on (just released).
int UnusedPort();

std::string Md5Of(const std::string& content);

// Every file below `dir` with its bytes (symbolic links as "-> target").
std::map<std::string, std::string> Snapshot(const fs::path& dir);

// Runs a shell command line; returns its standard output.
std::string Capture(const std::string& command, int* status = nullptr);

// The messages of today's updater log in `workDir`, time stamps removed.
std::vector<std::string> LogMessages(const fs::path& workDir);

// Changes the working directory for the lifetime of the object.
class ScopedWorkDir {
public:
    explicit ScopedWorkDir(const fs::path& dir);
    ~ScopedWorkDir();

private:
    fs::path previous;
};

} // namespace kxtest
