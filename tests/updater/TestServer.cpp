#include "tests/updater/TestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "common/LocalTime.h"
#include "updater/Hash.h"

namespace kxtest {

std::string Md5Of(const std::string& content) {
    std::string hex;
    Hash::Get(reinterpret_cast<const unsigned char*>(content.data()),
              static_cast<unsigned int>(content.size()), hex);
    return hex;
}

std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
         ++it) {
        std::string name = fs::relative(it->path(), dir).string();
        if (fs::is_symlink(it->symlink_status()))
            files[name] = "-> " + fs::read_symlink(it->path()).string();
        else if (fs::is_regular_file(it->status()))
            files[name] = readFile(it->path());
        else
            files[name + "/"] = "";
    }
    return files;
}

std::string Capture(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, got);
    int result = ::pclose(pipe);
    if (status)
        *status = result;
    return output;
}

std::vector<std::string> LogMessages(const fs::path& workDir) {
    const std::string name = LocalTime::Now("kxupd_%Y%m%d.log");
    std::istringstream log(readFile(workDir / "updatelog" / name));
    std::vector<std::string> messages;
    for (std::string line; std::getline(log, line);) {
        std::size_t bar = line.find("|-|");
        messages.push_back(bar == std::string::npos ? line : line.substr(bar + 3));
    }
    return messages;
}

ScopedWorkDir::ScopedWorkDir(const fs::path& dir) : previous(fs::current_path()) {
    fs::current_path(dir);
}

ScopedWorkDir::~ScopedWorkDir() {
    boost::system::error_code error;
    fs::current_path(previous, error);
}

int UnusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

namespace {

// Stores each part of a multipart POST in a numbered folder of `store`:
// one file per part name, "<name>.filename" for file parts, "PATH_INFO".
const char* const uploadHandler = R"PY(import os, sys
store = sys.argv[0].rsplit("/", 2)[0] + "/store"
body = sys.stdin.buffer.read(int(os.environ.get("CONTENT_LENGTH") or 0))
boundary = os.environ["CONTENT_TYPE"].split("boundary=", 1)[1].strip('"').encode()
folder = os.path.join(store, "%03d" % len(os.listdir(store)))
os.mkdir(folder)
with open(os.path.join(folder, "PATH_INFO"), "w") as f:
    f.write(os.environ.get("PATH_INFO", ""))
for chunk in body.split(b"--" + boundary)[1:]:
    if chunk.startswith(b"--"):
        break
    head, _, data = chunk[2:].partition(b"\r\n\r\n")
    data = data[:-2]
    fields = {}
    for item in head.decode().split("\r\n")[0].split(";"):
        if "=" in item:
            key, value = item.strip().split("=", 1)
            fields[key] = value.strip('"')
    with open(os.path.join(folder, fields["name"]), "wb") as f:
        f.write(data)
    if "filename" in fields:
        with open(os.path.join(folder, fields["name"] + ".filename"), "w") as f:
            f.write(fields["filename"])
sys.stdout.write("Status: 200 OK\r\nContent-Type: text/plain\r\n\r\n")
)PY";

// Answers 404 and breaks off the body: a transfer that fails with status 404.
const char* const goneHandler = R"PY(import sys
sys.stdout.write("Status: 404 Not Found\r\nContent-Type: text/plain\r\n"
                 "Content-Length: 1000\r\n\r\nbroken off")
)PY";

// "/status.py/<code>/…" answers with that status and an error page.
const char* const statusHandler = R"PY(import os, sys
code = os.environ.get("PATH_INFO", "/500").split("/")[1]
sys.stdout.write("Status: " + code + " Error\r\nContent-Type: text/html\r\n\r\n"
                 "<html><body>error page " + code + "</body></html>\n")
)PY";

bool CanConnect(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

} // namespace

WebServer::WebServer(const fs::path& base, bool secure)
    : root(base), docRoot(base / "www"), store(base / "store"), https(secure) {
    fs::create_directories(docRoot);
    fs::create_directories(store);
    writeFile(root / "cgi" / "upload.py", uploadHandler);
    writeFile(root / "cgi" / "gone.py", goneHandler);
    writeFile(root / "cgi" / "status.py", statusHandler);
    // The handler lives outside the served folder; "/upload.py" reaches it by alias.
    if (https) {
        std::string dir = root.string();
        std::string command =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
            " -keyout '" +
            dir + "/key.pem' -out '" + dir +
            "/cert.pem' -days 2"
            " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 >/dev/null 2>&1"
            " && cat '" +
            dir + "/key.pem' '" + dir + "/cert.pem' > '" + dir + "/server.pem'";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("openssl could not make a certificate");
    }
    for (int attempt = 0; attempt < 5; ++attempt)
        if (StartOn(UnusedPort()))
            return;
    throw std::runtime_error("lighttpd did not start: " + readFile(root / "lighttpd.out") +
                             readFile(root / "lighttpd-error.log"));
}

WebServer::~WebServer() { Stop(); }

bool WebServer::StartOn(int port) {
    std::string dir = root.string();
    std::ostringstream conf;
    conf << "server.document-root = \"" << docRoot.string() << "\"\n"
         << "server.bind = \"127.0.0.1\"\n"
         << "server.port = " << port << "\n"
         << "server.modules = (\"mod_alias\", \"mod_cgi\", \"mod_accesslog\""
         << (https ? ", \"mod_openssl\"" : "") << ")\n"
         << "server.errorlog = \"" << dir << "/lighttpd-error.log\"\n"
         << "accesslog.filename = \"" << dir << "/access.log\"\n"
         << "server.upload-dirs = (\"" << dir << "\")\n"
         << "mimetype.assign = (\"\" => \"application/octet-stream\")\n"
         // A file republished within the same second is served as it is now.
         << "server.stat-cache-engine = \"disable\"\n"
         << "alias.url = (\"/upload.py\" => \"" << dir << "/cgi/upload.py\",\n"
         << "              \"/gone.py\" => \"" << dir << "/cgi/gone.py\",\n"
         << "              \"/status.py\" => \"" << dir << "/cgi/status.py\")\n"
         << "cgi.assign = (\".py\" => \"/usr/bin/python3\")\n";
    if (https)
        conf << "ssl.engine = \"enable\"\nssl.pemfile = \"" << dir << "/server.pem\"\n";
    writeFile(root / "lighttpd.conf", conf.str());

    std::string confPath = (root / "lighttpd.conf").string();
    std::string outPath = (root / "lighttpd.out").string();
    pid = ::fork();
    if (pid == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execl("/usr/sbin/lighttpd", "lighttpd", "-D", "-f", confPath.c_str(), (char*)nullptr);
        ::_exit(127);
    }
    for (int wait = 0; wait < 100; ++wait) {
        if (CanConnect(port)) {
            listenPort = port;
            return true;
        }
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop();
    return false;
}

void WebServer::Stop() {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

std::vector<Upload> WebServer::Uploads() const {
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(store))
        folders.push_back(entry.path());
    std::sort(folders.begin(), folders.end());
    std::vector<Upload> uploads;
    for (const fs::path& folder : folders) {
        Upload upload;
        for (const auto& file : fs::directory_iterator(folder)) {
            std::string name = file.path().filename().string();
            std::string content = readFile(file.path());
            const std::string suffix = ".filename";
            if (name == "PATH_INFO")
                upload.pathInfo = content;
            else if (name.size() > suffix.size() &&
                     name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                upload.fileNames[name.substr(0, name.size() - suffix.size())] = content;
            else
                upload.parts[name] = content;
        }
        uploads.push_back(upload);
    }
    return uploads;
}

int WebServer::RequestsFor(const std::string& method, const std::string& path) {
    Stop();
    std::istringstream log(readFile(root / "access.log"));
    std::string wanted = "\"" + method + " " + path + " ";
    int count = 0;
    for (std::string line; std::getline(log, line);)
        count += line.find(wanted) != std::string::npos;
    return count;
}

int WebServer::AllRequests() {
    Stop();
    std::istringstream log(readFile(root / "access.log"));
    int count = 0;
    for (std::string line; std::getline(log, line);)
        count += !line.empty();
    return count;
}

} // namespace kxtest
