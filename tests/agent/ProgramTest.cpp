// KX_InventoryAGT end to end: the built program copied into a temporary
// installation folder, with a collection script that records its arguments
// and leaves Linux inputs in "result".

#include <chrono>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/agent/Installation.h"

namespace {

using namespace kxtest;

const std::vector<std::string> kCollection = {"実行開始...",
                                              "UPDATE_PROGRESS",
                                              "ハードウェア情報読込み中...",
                                              "ハードウェア情報作成完了",
                                              "ソフトウェア情報読込み中...",
                                              "ソフトウェア情報作成完了"};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A log's lines with the stamps replaced by "@|".
std::vector<std::string> stampless(const fs::path& file) {
    const std::regex stamp("^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\|");
    std::vector<std::string> result;
    for (const std::string& line : lines(readFile(file)))
        result.push_back(std::regex_replace(line, stamp, "@|"));
    return result;
}

class AgentProgram : public Installation {
protected:
    void SetUp() override {
        Installation::SetUp();
        program = fs::path(KX_BINARY_DIR) / "KX_InventoryAGT";
        ASSERT_TRUE(fs::exists(program));
        fs::copy_file(program, home / "KX_InventoryAGT");
    }

    // The collection script: records its arguments, then fills "result".
    void writeScript(const std::string& fill) {
        writeFile(home / "macInventory.sh",
                  "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" >> args.txt\nmkdir -p result\n" + fill);
        fs::permissions(home / "macInventory.sh", fs::owner_all | fs::group_read | fs::others_read);
    }
    void linuxScript() { writeScript("cp '" + fixtures() + "/linux/'* result/\n"); }

    // Runs `command` (relative to the installation) with `arguments`; returns the exit status.
    int run(const std::string& command, const std::string& arguments = "") {
        const std::string line = "cd '" + home.string() + "' && timeout 60 " + command + " " +
                                 arguments + " > '" + (base / "out").string() + "' 2> '" +
                                 (base / "err").string() + "'";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::vector<std::string> out() const { return lines(readFile(base / "out")); }

    fs::path todaysLog(const fs::path& folder) const {
        for (const std::string& name : tree(folder))
            if (name.rfind("kxinv_", 0) == 0)
                return folder / name;
        return {};
    }

    fs::path program;
};

TEST_F(AgentProgram, WithOneArgumentRunsTheScriptOnceAndTheCollection) {
    linuxScript();
    ASSERT_EQ(run("./KX_InventoryAGT", "tmp"), 0);

    // Without "Config.ini" the upload is skipped and reported as done.
    EXPECT_EQ(out(), concat(concat({"start"}, kCollection), {"UPDATE_PROGRESS", "end"}));
    EXPECT_EQ(readFile(home / "args.txt"), "1\na\n");
    // Without "config.ini" the log lies in the working directory.
    const fs::path log = todaysLog(home);
    ASSERT_FALSE(log.empty());
    std::vector<std::string> logged;
    for (const std::string& text : concat(kCollection, {"UPDATE_PROGRESS"}))
        logged.push_back("@|" + text);
    EXPECT_EQ(stampless(log), logged);

    std::set<std::string> expected = {"KX_InventoryAGT", "macInventory.sh",       "args.txt",
                                      "result/",         log.filename().string(), "last_run.json"};
    for (const std::string& name : tree(home / "result"))
        expected.insert("result/" + name);
    EXPECT_EQ(tree(home), expected);
    EXPECT_TRUE(fs::is_empty(temp));
}

TEST_F(AgentProgram, WithConfigurationLogsIntoTheLogFolderAndReportsTheFailedUpload) {
    linuxScript();
    // Nothing listens on port 1 of the loopback address.
    writeConfig("config.ini", "<Server>127.0.0.1</Server><Port>1</Port>");
    ASSERT_EQ(run("./KX_InventoryAGT", "a b c"), 0);

    const std::vector<std::string> lines = out();
    EXPECT_EQ(lines, concat(concat({"start"}, kCollection),
                            {"http://127.0.0.1:1 に接続失敗しました。", "upload err", "end"}));
    EXPECT_EQ(readFile(home / "args.txt"), "1\na\n");

    const fs::path log = todaysLog(home / "log");
    ASSERT_FALSE(log.empty());
    std::vector<std::string> logged;
    for (const std::string& text : concat(kCollection, {"http://127.0.0.1:1 に接続失敗しました。"}))
        logged.push_back("@|" + text);
    // libcurl's reason follows the message, then "upload err" as on standard output.
    std::vector<std::string> written = stampless(log);
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ(written.back(), "@|upload err");
    written.pop_back();
    EXPECT_EQ(written.back().rfind("@|connect err:7 ", 0), 0u) << written.back();
    written.pop_back();
    EXPECT_EQ(written, logged);
    EXPECT_EQ(tree(home / "log"),
              (std::set<std::string>{log.filename().string(), "last_run.json"}));
    EXPECT_TRUE(fs::is_empty(temp));
}

TEST_F(AgentProgram, WithoutArgumentTheRelaunchedCopyPerformsTheRun) {
    linuxScript();
    writeFile(home / "tmp_Inventory.exe", "stale copy");
    ASSERT_EQ(run("./KX_InventoryAGT"), 0);

    // The copy writes into the same standard output; wait for its "end".
    auto ends = [this] {
        const auto all = out();
        return std::count(all.begin(), all.end(), "end");
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ends() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(ends(), 2) << readFile(base / "out");

    // The launcher's "start" comes first; its "end" may fall anywhere among
    // the copy's lines, which are those of a whole run.
    const std::vector<std::string> copy =
        concat(concat({"start"}, kCollection), {"UPDATE_PROGRESS", "end"});
    const std::vector<std::string> all = out();
    ASSERT_EQ(all.size(), copy.size() + 2);
    EXPECT_EQ(all[0], "start");
    bool found = false;
    for (size_t i = 1; i < all.size() && !found; ++i) {
        if (all[i] != "end")
            continue;
        std::vector<std::string> rest(all.begin() + 1, all.end());
        rest.erase(rest.begin() + (i - 1));
        found = rest == copy;
    }
    EXPECT_TRUE(found) << readFile(base / "out");

    EXPECT_EQ(readFile(home / "args.txt"), "1\na\n");
    EXPECT_EQ(readFile(home / "tmp_Inventory.exe"), readFile(home / "KX_InventoryAGT"));
    // The copy's clean-up is done once its "end" is out.
    for (const std::string& name : tree(home))
        EXPECT_EQ(name.find("KX-"), std::string::npos) << name;
    EXPECT_TRUE(fs::is_empty(temp));
}

TEST_F(AgentProgram, RunWithoutSystemEntryReportsBothManagersAndEndsInOrder) {
    writeScript("printf '<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>' > "
                "result/hardware.xml\n");
    ASSERT_EQ(run("./KX_InventoryAGT", "tmp"), 0);

    const std::vector<std::string> lines = out();
    ASSERT_EQ(lines.size(), 9u) << readFile(base / "out");
    EXPECT_EQ(lines[0], "start");
    EXPECT_EQ(lines[3], "ハードウェア情報読込み中...");
    EXPECT_EQ(lines[4].rfind("ハードウェア情報作成失敗 (CHWInfoManager): ", 0), 0u) << lines[4];
    EXPECT_EQ(lines[5], "ソフトウェア情報読込み中...");
    EXPECT_EQ(lines[6].rfind("ソフトウェア情報作成失敗 (CSWInfoManager): ", 0), 0u) << lines[6];
    EXPECT_EQ(lines[7], "UPDATE_PROGRESS");
    EXPECT_EQ(lines[8], "end");
    for (const std::string& name : tree(home))
        EXPECT_EQ(name.find("KX-"), std::string::npos) << name;
    EXPECT_TRUE(fs::is_empty(temp));
}

TEST_F(AgentProgram, RelaunchFailureIsOneLineThenEnd) {
    struct Case {
        const char* what;
        void (*arrange)(const fs::path& installation);
        const char* reason; // part of the line
    };
    const std::vector<Case> cases = {
        {"no KX_InventoryAGT in the working directory",
         [](const fs::path& installation) { fs::remove(installation / "KX_InventoryAGT"); },
         "not found"},
        {"copy refused",
         [](const fs::path& installation) {
             fs::create_directories(installation / "tmp_Inventory.exe" / "inside");
         },
         "cannot remove"},
        {"start failed",
         [](const fs::path& installation) {
             fs::remove(installation / "KX_InventoryAGT");
             writeFile(installation / "KX_InventoryAGT", "not a program");
             fs::permissions(installation / "KX_InventoryAGT", fs::owner_read | fs::owner_write);
         },
         "cannot start"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (fs::directory_iterator it(home), end; it != end; ++it)
            fs::remove_all(it->path());
        fs::copy_file(program, home / "launcher");
        fs::copy_file(program, home / "KX_InventoryAGT");
        c.arrange(home);

        ASSERT_EQ(run("./launcher"), 0);
        const std::vector<std::string> lines = out();
        ASSERT_EQ(lines.size(), 3u) << readFile(base / "out");
        EXPECT_EQ(lines[0], "start");
        EXPECT_EQ(lines[1].rfind("relaunch failed: ", 0), 0u) << lines[1];
        EXPECT_NE(lines[1].find(c.reason), std::string::npos) << lines[1];
        EXPECT_EQ(lines[2], "end");
    }
}

TEST_F(AgentProgram, SecondRunInTheSameFolderEndsAtOnce) {
    linuxScript();
    const int folder = ::open(home.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    const int status = run("./KX_InventoryAGT", "tmp");
    ::close(folder);

    ASSERT_EQ(status, 0);
    const std::vector<std::string> lines = out();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "another run is in progress in " + home.string());
    EXPECT_FALSE(fs::exists(home / "args.txt"));
    EXPECT_FALSE(fs::exists(home / "result"));
}

} // namespace
