#pragma once
// An installation folder and an update server for one test: config.ini and
// update.ini pointing at a lighttpd on 127.0.0.1, modules published with the
// operator's tool kxpublish, and the update run driven in-process with the
// retry pauses recorded instead of waited.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/updater/TestServer.h"

namespace kxtest {

struct Settings {
    bool ssl = false;
    int hostId = 7;
    int port = 0; // 0: the test server's port
    std::vector<std::string> stop;
    std::vector<std::string> start;
    // "update.ini" section "Update": key → server path.
    std::map<std::string, std::string> paths = {{"List", "/list.txt"},
                                                {"ListHash", "/list.md5"},
                                                {"Modules", "/modules"},
                                                {"Complete", "/complete"},
                                                {"Log", "/upload.py"}};

    Settings& Ssl(int id) {
        ssl = true;
        hostId = id;
        return *this;
    }
    Settings& Port(int number) {
        port = number;
        return *this;
    }
    Settings& Stop(std::vector<std::string> entries) {
        stop = std::move(entries);
        return *this;
    }
    Settings& Start(std::vector<std::string> commands) {
        start = std::move(commands);
        return *this;
    }
    Settings& Path(const std::string& key, const std::string& path) {
        paths[key] = path;
        return *this;
    }
};

class UpdateFixture : public ::testing::Test {
protected:
    explicit UpdateFixture(bool https = false);

    // Writes config.ini and update.ini into the installation folder.
    void Configure(const Settings& settings = Settings());
    // Runs kxpublish over www/modules with the extra arguments given.
    void Publish(const std::string& arguments = "");
    // Serves `list` as the list file with its digest beside it.
    void ServeList(const std::string& list);
    void Module(const std::string& name, const std::string& content);
    void Installed(const std::string& relative, const std::string& content);
    std::string InstalledContent(const std::string& relative) const;

    // One update run in the installation folder; pauses are recorded and
    // `onPause` (when set) is called with the number of the pause. The log
    // must end with one "end: " line.
    void Run();
    // The day's log messages up to the run's last line "end: <outcome>",
    // which Outcome() gives.
    std::vector<std::string> Log() const;
    std::string Outcome() const;
    bool Logged(const std::string& message) const;
    // The one upload of the run: the log as sent, equal to "logtmp.txt".
    void ExpectLogUploadedOnce();

    TempFolder root;
    std::unique_ptr<WebServer> server;
    fs::path install;
    fs::path modules;
    std::vector<unsigned> pauses;
    std::function<void(std::size_t)> onPause;
};

} // namespace kxtest
