#include "tests/updater/UpdateFixture.h"

#include <algorithm>

#include "updater/UpdateRun.h"

namespace kxtest {

namespace {

std::string XmlText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '&')
            escaped += "&amp;";
        else if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else
            escaped += c;
    }
    return escaped;
}

std::string Commands(const char* section, const std::vector<std::string>& commands) {
    std::string xml = std::string("<") + section + ">";
    for (std::size_t i = 0; i < commands.size(); ++i)
        xml += "<Command" + std::to_string(i + 1) + ">" + XmlText(commands[i]) + "</Command" +
               std::to_string(i + 1) + ">";
    return xml + "</" + section + ">";
}

} // namespace

UpdateFixture::UpdateFixture(bool https)
    : server(std::make_unique<WebServer>(root.path(), https)), install(root.path() / "install"),
      modules(server->www() / "modules") {
    fs::create_directories(install);
    fs::create_directories(modules);
}

void UpdateFixture::Configure(const Settings& settings) {
    int port = settings.port ? settings.port : server->port();
    writeFile(install / "config.ini",
              "<?xml version=\"1.0\"?>\n<KX><Config><Server>127.0.0.1</Server><Port>" +
                  std::to_string(port) + "</Port><HostID>" + std::to_string(settings.hostId) +
                  "</HostID><SSL>" + (settings.ssl ? "1" : "0") + "</SSL></Config></KX>\n");
    std::string update = "<KX><Update>";
    for (const auto& [key, path] : settings.paths)
        update += "<" + key + ">" + XmlText(path) + "</" + key + ">";
    update += "</Update>" + Commands("Stop", settings.stop) + Commands("Start", settings.start);
    writeFile(install / "update.ini", update + "</KX>\n");
}

void UpdateFixture::Publish(const std::string& arguments) {
    int status = 0;
    std::string www = server->www().string();
    Capture(std::string(KX_BINARY_DIR) + "/kxpublish " + arguments + " '" + modules.string() +
                "' '" + www + "/list.txt' '" + www + "/list.md5' 2>&1",
            &status);
    ASSERT_EQ(status, 0);
}

void UpdateFixture::ServeList(const std::string& list) {
    writeFile(server->www() / "list.txt", list);
    writeFile(server->www() / "list.md5", Md5Of(list));
}

void UpdateFixture::Module(const std::string& name, const std::string& content) {
    writeFile(modules / name, content);
}

void UpdateFixture::Installed(const std::string& relative, const std::string& content) {
    writeFile(install / relative, content);
}

std::string UpdateFixture::InstalledContent(const std::string& relative) const {
    return readFile(install / relative);
}

void UpdateFixture::Run() {
    ScopedWorkDir here(install);
    UpdateRun([this](unsigned seconds) {
        pauses.push_back(seconds);
        if (onPause)
            onPause(pauses.size());
    });
    std::vector<std::string> log = LogMessages(install);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().rfind("end: ", 0), 0u) << log.back();
}

std::vector<std::string> UpdateFixture::Log() const {
    std::vector<std::string> log = LogMessages(install);
    if (!log.empty() && log.back().rfind("end: ", 0) == 0)
        log.pop_back();
    return log;
}

std::string UpdateFixture::Outcome() const {
    std::vector<std::string> log = LogMessages(install);
    return !log.empty() && log.back().rfind("end: ", 0) == 0 ? log.back().substr(5) : "";
}

bool UpdateFixture::Logged(const std::string& message) const {
    std::vector<std::string> log = Log();
    return std::find(log.begin(), log.end(), message) != log.end();
}

void UpdateFixture::ExpectLogUploadedOnce() {
    std::vector<Upload> uploads = server->Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].pathInfo, "/7");
    EXPECT_EQ(uploads[0].parts["impfile"], readFile(install / "logtmp.txt"));
    EXPECT_NE(uploads[0].parts["impfile"].find("updater: boot"), std::string::npos);
}

} // namespace kxtest
