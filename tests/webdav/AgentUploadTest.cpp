// The agent's upload against a real lighttpd and against servers that fail:
// in process, where the progress messages and the produced files can be
// seen, and end to end, with the built KX_InventoryAGT in a temporary
// installation folder.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <map>
#include <regex>
#include <thread>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/operations.hpp>

#include <nlohmann/json.hpp>

#include "agent/CTransferCoordinator.h"
#include "common/PrivateFile.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"
#include "tests/webdav/Lighttpd.h"
#include "tests/webdav/SocketServer.h"

namespace {

namespace fs = boost::filesystem;
using kxtest::Lighttpd;
using kxtest::lines;
using kxtest::readFile;
using kxtest::writeFile;
using Params = std::map<std::string, std::string>;

const char* const kConnectFailed = " に接続失敗しました。";

const std::vector<std::string> kCollection = {"start",
                                              "実行開始...",
                                              "UPDATE_PROGRESS",
                                              "ハードウェア情報読込み中...",
                                              "ハードウェア情報作成完了",
                                              "ソフトウェア情報読込み中...",
                                              "ソフトウェア情報作成完了"};

// Standard output of a run: the collection's lines, then `tail`.
std::vector<std::string> collectionThen(const std::vector<std::string>& tail) {
    std::vector<std::string> out = kCollection;
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// The spool folder's files, sorted by name.
std::vector<fs::path> landed(const fs::path& spool) {
    std::vector<fs::path> files;
    for (fs::directory_iterator it(spool), end; it != end; ++it)
        files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

// Answers the PROPFIND of the server check; hands PUTs to `put`.
kxtest::SocketServer::Handler spoolThatAnswersPropfind(std::function<void(int)> put) {
    return [put](int socket) {
        const kxtest::Received request = kxtest::readRequest(socket);
        if (request.method == "PROPFIND")
            kxtest::writeAll(
                socket, kxtest::answer(207, "Multi-Status", "<D:multistatus xmlns:D=\"DAV:\"/>"));
        else
            put(socket);
        return false;
    };
}

class Recorder final : public CAbstractListener {
public:
    void onMessage(const std::string& text, Params& params) override {
        messages.emplace_back(text, params);
    }
    void onMessage(const std::string& text) override { messages.emplace_back(text, Params()); }
    std::vector<std::pair<std::string, Params>> messages;
};

Params progress(std::int64_t uploaded, std::int64_t total) {
    return {{"TOTAL_SIZE", std::to_string(total)}, {"UPLOADED_SIZE", std::to_string(uploaded)}};
}

class AgentUpload : public ::testing::Test {
protected:
    void SetUp() override {
        home = base / "install";
        fs::create_directories(home);
        fs::copy_file(fs::path(KX_BINARY_DIR) / "KX_InventoryAGT", home / "KX_InventoryAGT");
        // The collection script leaves a few Linux inputs in "result".
        writeFile(home / "macInventory.sh", "#!/bin/sh\nmkdir -p result && cp '" +
                                                std::string(KX_SOURCE_DIR) +
                                                "/tests/agent/fixtures/linux/'* result/\n");
        fs::permissions(home / "macInventory.sh", fs::owner_all);
    }

    void configure(int port, bool ssl = false, const std::string& password = "secret") {
        writeFile(home / "config.ini",
                  "<?xml version=\"1.0\"?>\n<KX><Config><Server> 127.0.0.1 </Server><Port>" +
                      std::to_string(port) + "</Port><Username>kx</Username><Password>" + password +
                      "</Password><SSL>" + (ssl ? "1" : "0") + "</SSL></Config></KX>\n");
    }

    struct Run {
        std::vector<std::string> out;
        int status;
    };

    // KX_InventoryAGT with `argument` in the installation folder.
    Run runProgram(std::chrono::seconds limit = std::chrono::seconds(30),
                   const char* argument = "tmp") {
        const fs::path out = base / "stdout.txt";
        const pid_t child = fork();
        if (child == 0) {
            if (chdir(home.c_str()) != 0 || !freopen(out.c_str(), "w", stdout))
                _exit(126);
            execl("./KX_InventoryAGT", "KX_InventoryAGT", argument, static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = -1;
        const auto until = std::chrono::steady_clock::now() + limit;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ADD_FAILURE() << "the run did not end in " << limit.count() << " s";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {lines(readFile(out)), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    }

    // The day's log, without the time stamps.
    std::vector<std::string> logTexts() {
        std::vector<std::string> texts;
        for (fs::directory_iterator it(home / "log"), end; it != end; ++it)
            if (boost::starts_with(it->path().filename().string(), "kxinv_"))
                for (const std::string& line : lines(readFile(it->path())))
                    texts.push_back(line.substr(line.find('|') + 1));
        return texts;
    }

    // A run in process up to its upload: the produced files' contents, the
    // messages the upload sent and its result.
    struct Upload {
        std::vector<std::pair<std::string, std::string>> produced; // name, bytes
        std::vector<std::pair<std::string, Params>> messages;
        bool stored;
    };
    Upload uploadInProcess(
        const std::function<void(const std::vector<std::string>&)>& beforeUpload = nullptr) {
        EXPECT_EQ(std::system(("cd '" + home.string() + "' && ./macInventory.sh a").c_str()), 0);
        const fs::path previous = fs::current_path();
        fs::current_path(home);
        Upload result;
        {
            CTransferCoordinator coordinator;
            coordinator.setConfigDir(home.string());
            coordinator.setSrcDir(home.string());
            coordinator.init((home / "result").string());
            coordinator.setVersion("1.0.0.2");
            coordinator.start();
            for (const std::string& file : coordinator.files())
                result.produced.emplace_back(fs::path(file).filename().string(), readFile(file));
            if (beforeUpload)
                beforeUpload(coordinator.files());
            Recorder recorder;
            coordinator.addListener(&recorder);
            result.stored = coordinator.upload();
            result.messages = recorder.messages;
            coordinator.cleanup();
        }
        fs::current_path(previous);
        return result;
    }

    const kxtest::TempFolder base{"kx-agent-upload"};
    fs::path home;
};

TEST_F(AgentUpload, BothDataFilesLandByteIdenticalWithProgressByBytes) {
    Lighttpd server;
    configure(server.port());
    const Upload upload = uploadInProcess();
    ASSERT_EQ(upload.produced.size(), 2u);
    EXPECT_TRUE(upload.stored);
    const std::int64_t hardware = upload.produced[0].second.size();
    const std::int64_t total = hardware + upload.produced[1].second.size();
    EXPECT_EQ(upload.messages, (std::vector<std::pair<std::string, Params>>{
                                   {"UPDATE_PROGRESS", progress(hardware, total)},
                                   {"UPDATE_PROGRESS", progress(total, total)}}));
    for (const auto& [name, bytes] : upload.produced)
        EXPECT_TRUE(readFile(server.spool() / name) == bytes) << name;
    EXPECT_EQ(server.requests("PUT"), 2);
}

TEST_F(AgentUpload, ARefusedFileDoesNotStopTheNextOne) {
    // The server refuses the hardware file ("KX-0-12…") only.
    Lighttpd server(Lighttpd::Setup{
        false, "$HTTP[\"url\"] =~ \"/KX-0-12\" { url.access-deny = ( \"\" ) }", false});
    configure(server.port());
    const Upload upload = uploadInProcess();
    ASSERT_EQ(upload.produced.size(), 2u);
    EXPECT_FALSE(upload.stored);
    const std::int64_t software = upload.produced[1].second.size();
    const std::int64_t total = upload.produced[0].second.size() + software;
    EXPECT_EQ(upload.messages, (std::vector<std::pair<std::string, Params>>{
                                   {"UPDATE_PROGRESS", progress(0, total)},
                                   {"UPDATE_PROGRESS", progress(software, total)}}));
    EXPECT_FALSE(fs::exists(server.spool() / upload.produced[0].first));
    EXPECT_TRUE(readFile(server.spool() / upload.produced[1].first) == upload.produced[1].second);
}

TEST_F(AgentUpload, AFileThatVanishedBeforeItsUploadCountsAsFailed) {
    Lighttpd server;
    configure(server.port());
    const Upload upload =
        uploadInProcess([](const std::vector<std::string>& files) { fs::remove(files.at(0)); });
    ASSERT_EQ(upload.produced.size(), 2u);
    EXPECT_FALSE(upload.stored);
    const std::int64_t software = upload.produced[1].second.size();
    EXPECT_EQ(upload.messages, (std::vector<std::pair<std::string, Params>>{
                                   {"UPDATE_PROGRESS", progress(0, software)},
                                   {"UPDATE_PROGRESS", progress(software, software)}}));
    EXPECT_EQ(server.requests("PUT"), 1);
    EXPECT_EQ(landed(server.spool()).size(), 1u);
}

TEST_F(AgentUpload, TheProgramStoresBothFilesOverHttpAndHttps) {
    for (const bool tls : {false, true}) {
        SCOPED_TRACE(tls ? "https" : "http");
        Lighttpd server(Lighttpd::Setup{tls, "", false});
        configure(server.port(), tls);
        const Run run = runProgram();
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, collectionThen({"UPDATE_PROGRESS", "UPDATE_PROGRESS", "end"}));
        const std::vector<fs::path> files = landed(server.spool());
        ASSERT_EQ(files.size(), 2u);
        EXPECT_EQ(files[0].filename().string().substr(0, 7), "KX-0-01");
        EXPECT_EQ(files[1].filename().string().substr(0, 7), "KX-0-12");
        for (const fs::path& file : files) {
            const std::string bytes = readFile(file);
            EXPECT_EQ(bytes.substr(1, 4), "KX20") << file;
            EXPECT_EQ(bytes.substr(bytes.size() - 7), "KX20EOF") << file;
        }
        // The log holds the same messages (without "start" and "end").
        // Each file's line with the server's status comes before its progress.
        std::vector<std::string> logged =
            collectionThen({"upload " + files[1].filename().string() + ": 201", "UPDATE_PROGRESS",
                            "upload " + files[0].filename().string() + ": 201", "UPDATE_PROGRESS"});
        logged.erase(logged.begin());
        EXPECT_EQ(logTexts(), logged);
        fs::remove_all(home / "log");
    }
}

TEST_F(AgentUpload, TheProgramsDataFilesLandByteIdentical) {
    // Between the program and the server, a relay keeps a copy of each data
    // file as it is when its PUT begins (the program deletes them at its end).
    Lighttpd server;
    const fs::path kept = base / "kept";
    fs::create_directories(kept);
    kxtest::SocketServer relay([&](int socket) {
        kxtest::relay(socket, server.port(), [&](const kxtest::Received& request) {
            if (request.method == "PUT") {
                const std::string name = request.target.substr(request.target.rfind('/') + 1);
                boost::system::error_code missing; // then the comparison below fails
                fs::copy_file(home / "log" / name, kept / name, missing);
            }
        });
        return false;
    });
    configure(relay.port());
    const Run run = runProgram();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, collectionThen({"UPDATE_PROGRESS", "UPDATE_PROGRESS", "end"}));
    const std::vector<fs::path> sent = landed(kept);
    ASSERT_EQ(sent.size(), 2u);
    for (const fs::path& file : sent)
        EXPECT_TRUE(readFile(server.spool() / file.filename()) == readFile(file)) << file;
    EXPECT_EQ(landed(server.spool()).size(), 2u);
}

TEST_F(AgentUpload, TheProgramReportsAServerItCannotUse) {
    // Standard output keeps its one line for all of them; the log says what it was.
    const struct {
        const char* fault;
        bool down;
        std::string password;
        bool withoutSpool;
        std::string logged; // after the collection's lines, "<url>" for the base URL
    } cases[] = {
        {"server down", true, "secret", false, "<url> に接続失敗しました。|connect err:7 "},
        {"wrong password (401)", false, "wrong", false,
         "<url> authentication failed: http err:401"},
        {"missing root (404)", false, "secret", true, "<url> に接続失敗しました。|http err:404"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        std::unique_ptr<Lighttpd> server;
        int port = kxtest::freePort();
        if (!c.down) {
            server = std::make_unique<Lighttpd>(Lighttpd::Setup{false, "", c.withoutSpool});
            port = server->port();
        }
        configure(port, false, c.password);
        const std::string url = "http://127.0.0.1:" + std::to_string(port);
        const Run run = runProgram();
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, collectionThen({url + kConnectFailed, "upload err", "end"}));

        std::vector<std::string> expected;
        std::string lines = c.logged;
        lines.replace(0, 5, url);
        for (std::size_t bar; (bar = lines.find('|')) != std::string::npos; lines.erase(0, bar + 1))
            expected.push_back(lines.substr(0, bar));
        expected.push_back(lines);
        expected.push_back("upload err");
        const std::vector<std::string> logged = logTexts();
        ASSERT_GE(logged.size(), expected.size());
        const std::vector<std::string> tail(logged.end() - expected.size(), logged.end());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(tail[i].substr(0, expected[i].size()), expected[i]) << tail[i];
        if (server) {
            EXPECT_EQ(server->requests("PUT"), 0);
        }
        fs::remove_all(home / "log");
    }
}

TEST_F(AgentUpload, TheProgramReportsAConnectionDroppedMidBody) {
    int puts = 0;
    kxtest::SocketServer server(spoolThatAnswersPropfind([&](int socket) {
        ++puts;
        kxtest::writeAll(socket, "HTTP/1.1 201 Created\r\nContent-Length: 100\r\n\r\ncut short");
    }));
    configure(server.port());
    const Run run = runProgram();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, collectionThen({"UPDATE_PROGRESS", "UPDATE_PROGRESS", "upload err", "end"}));
    EXPECT_EQ(puts, 2);
    // Each file's line gives libcurl's code and text; "upload err" ends the log too.
    std::vector<std::string> fileLines;
    for (const std::string& line : logTexts())
        if (boost::starts_with(line, "upload KX-"))
            fileLines.push_back(line);
    ASSERT_EQ(fileLines.size(), 2u);
    for (const std::string& line : fileLines)
        EXPECT_TRUE(
            std::regex_search(line, std::regex(R"(^upload KX-0-\d{16}\.dat: connect err:\d+ \S)")))
            << line;
    EXPECT_EQ(logTexts().back(), "upload err");
}

TEST_F(AgentUpload, HelpAndVersionAnswerWithoutARunOrARequest) {
    Lighttpd server;
    configure(server.port());
    const struct {
        const char* argument;
        std::string first;
    } cases[] = {{"--help", "usage: KX_InventoryAGT [ARGUMENT]"},
                 {"--version", "KX_InventoryAGT 1.0.0.2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        const Run run = runProgram(std::chrono::seconds(30), c.argument);
        EXPECT_EQ(run.status, 0);
        ASSERT_FALSE(run.out.empty());
        EXPECT_EQ(run.out.front(), c.first);
    }
    EXPECT_EQ(server.requestLines(), std::vector<std::string>{});
    // No collection, no log, no status.
    EXPECT_FALSE(fs::exists(home / "result"));
    EXPECT_FALSE(fs::exists(home / "log"));
}

// The status file each kind of run leaves beside the log.
TEST_F(AgentUpload, TheStatusFileTellsTheOutcomeOfTheRun) {
    struct Case {
        const char* what;
        std::function<int(std::unique_ptr<Lighttpd>&)> serve; // returns the port
        std::string password;
        int code;
        std::string outcome;
        std::vector<std::string> fileResults; // per data file, in upload order
        long httpStatus;                      // of every data file's PUT
        std::string error;                    // of every data file
        // Done to the collection script (which an earlier run found working).
        std::function<void(const fs::path&)> script = [](const fs::path&) {};
    };
    const std::vector<Case> cases = {
        {"uploaded",
         [](std::unique_ptr<Lighttpd>& server) {
             server = std::make_unique<Lighttpd>();
             return server->port();
         },
         "secret",
         0,
         "uploaded",
         {"uploaded", "uploaded"},
         201,
         ""},
        {"PUT refused with 409 (no spool folder)",
         [](std::unique_ptr<Lighttpd>& server) {
             server = std::make_unique<Lighttpd>();
             fs::remove_all(server->spool());
             return server->port();
         },
         "secret",
         5,
         "upload failed",
         {"failed", "failed"},
         409,
         "http err:409"},
        {"wrong password",
         [](std::unique_ptr<Lighttpd>& server) {
             server = std::make_unique<Lighttpd>();
             return server->port();
         },
         "wrong",
         4,
         "authentication failed",
         {},
         0,
         ""},
        {"no server",
         [](std::unique_ptr<Lighttpd>&) { return kxtest::freePort(); },
         "secret",
         3,
         "connection failed",
         {},
         0,
         ""},
        {"no script",
         [](std::unique_ptr<Lighttpd>& server) {
             server = std::make_unique<Lighttpd>();
             return server->port();
         },
         "secret",
         2,
         "no collection",
         {},
         0,
         "",
         [](const fs::path& folder) { fs::remove(folder / "macInventory.sh"); }},
        {"script not executable",
         [](std::unique_ptr<Lighttpd>& server) {
             server = std::make_unique<Lighttpd>();
             return server->port();
         },
         "secret",
         2,
         "no collection",
         {},
         0,
         "",
         [](const fs::path& folder) {
             fs::permissions(folder / "macInventory.sh", fs::perms(0644));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<Lighttpd> server;
        configure(c.serve(server), false, c.password);
        // "result" as an earlier run left it: never sent as this run's inventory.
        ASSERT_EQ(std::system(("cd '" + home.string() + "' && ./macInventory.sh a").c_str()), 0);
        const fs::path script = base / "macInventory.sh";
        fs::copy_file(home / "macInventory.sh", script, fs::copy_option::overwrite_if_exists);
        c.script(home);
        const std::time_t before = std::time(nullptr);
        const Run run = runProgram();
        EXPECT_EQ(run.status, 0);
        fs::copy_file(script, home / "macInventory.sh", fs::copy_option::overwrite_if_exists);
        fs::permissions(home / "macInventory.sh", fs::owner_all);
        if (c.code == 2) {
            ASSERT_GE(run.out.size(), 3u);
            EXPECT_TRUE(boost::starts_with(run.out[1], "collection script ")) << run.out[1];
            EXPECT_EQ(run.out[2], "end");
            EXPECT_EQ(server->requestLines(), std::vector<std::string>{});
        }

        const fs::path file = home / "log" / "last_run.json";
        EXPECT_EQ(fs::status(file).permissions(), fs::perms(0600));
        const nlohmann::json status = nlohmann::json::parse(readFile(file));
        EXPECT_EQ(status["program"], "KX_InventoryAGT");
        EXPECT_EQ(status["version"], "1.0.0.2");
        EXPECT_EQ(status["outcome_code"], c.code);
        EXPECT_EQ(status["outcome"], c.outcome);
        EXPECT_LE(status["started"].get<std::string>(), status["ended"].get<std::string>());
        EXPECT_EQ(status["started"].get<std::string>().substr(0, 10),
                  PrivateFile::IsoTime(before).substr(0, 10));
        std::vector<std::string> results;
        for (const auto& entry : status["files"]) {
            results.push_back(entry["result"]);
            EXPECT_EQ(entry["name"].get<std::string>().substr(0, 3), "KX-");
            EXPECT_GT(entry["size"].get<int>(), 0);
            EXPECT_EQ(entry["http_status"], c.httpStatus);
            EXPECT_EQ(entry["curl_code"], 0);
            EXPECT_EQ(entry["error"], c.error);
        }
        EXPECT_EQ(results, c.fileResults);
        // Nothing but the log and the status file is left beside them.
        std::vector<std::string> left;
        for (fs::directory_iterator it(home / "log"), end; it != end; ++it)
            left.push_back(it->path().filename().string());
        std::sort(left.begin(), left.end());
        ASSERT_EQ(left.size(), 2u);
        EXPECT_EQ(left[0], "kxinv_" + PrivateFile::IsoTime(before).substr(0, 4) +
                               PrivateFile::IsoTime(before).substr(5, 2) +
                               PrivateFile::IsoTime(before).substr(8, 2) + ".log");
        EXPECT_EQ(left[1], "last_run.json");
        fs::remove_all(home / "log");
    }
}

// The program's own stall guard, shortened to 2 s through the test hook.
TEST_F(AgentUpload, TheProgramGivesUpAListenerThatNeverAnswers) {
    kxtest::SocketServer silent([](int) { return true; });
    configure(silent.port());
    setenv("KX_TEST_TRANSFER_BOUNDS", "2,2,10,10", 1);
    const auto started = std::chrono::steady_clock::now();
    const Run run = runProgram(std::chrono::seconds(60));
    unsetenv("KX_TEST_TRANSFER_BOUNDS");
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              collectionThen({"http://127.0.0.1:" + std::to_string(silent.port()) + kConnectFailed,
                              "upload err", "end"}));
}

} // namespace
