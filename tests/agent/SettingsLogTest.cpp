// The settings file, the log folder it fixes, the daily log and its pruning.

#include <regex>

#include <sys/stat.h>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/CTransferCoordinator.h"
#include "tests/agent/Installation.h"
#include "common/utils.h"

namespace {

using namespace kxtest;

std::string todaysLog() { return wmi::currentTime("kxinv_%Y%m%d.log"); }

class AgentSettings : public Installation {
protected:
    // init() as the program calls it: configuration in the working directory.
    void load() {
        coordinator.setConfigDir(home.string());
        coordinator.setSrcDir(home.string());
        coordinator.init((home / "result").string());
    }

    CTransferCoordinator coordinator;
};

TEST_F(AgentSettings, ValuesFollowTheTableOfCases) {
    struct Case {
        const char* what;
        std::string settings;
        std::string server;
        int port;
        bool ssl;
        std::string username;
        std::string password;
    };
    const std::vector<Case> cases = {
        {"nothing set", "", "", 80, false, "", ""},
        {"every key",
         "<Server>kx.example</Server><Port>8080</Port><Username>agent</Username>"
         "<Password>p&amp;w</Password><SSL>1</SSL>",
         "kx.example", 8080, true, "agent", "p&w"},
        {"blanks, tabs and line breaks trimmed",
         "<Server> \t kx.example\n </Server><Username>  a b "
         "</Username><Password>\tpw\r\n</Password>",
         "kx.example", 80, false, "a b", "pw"},
        {"SSL 2 means true", "<SSL>2</SSL>", "", 80, true, "", ""},
        {"SSL -1 means true", "<SSL>-1</SSL>", "", 80, true, "", ""},
        {"SSL 0 means false", "<SSL>0</SSL>", "", 80, false, "", ""},
        {"empty Port gives 80", "<Port></Port><Server></Server>", "", 80, false, "", ""},
        {"Port that is no number gives 0", "<Port>http</Port>", "", 0, false, "", ""},
        {"Port with trailing letters", "<Port>8443x</Port>", "", 8443, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeConfig("config.ini", c.settings);
        CTransferCoordinator fresh;
        fresh.setConfigDir(home.string());
        fresh.init((home / "result").string());
        EXPECT_EQ(fresh.serverName(), c.server);
        EXPECT_EQ(fresh.serverPort(), c.port);
        EXPECT_EQ(fresh.usesSsl(), c.ssl);
        EXPECT_EQ(fresh.login(), c.username);
        EXPECT_EQ(fresh.loginPassword(), c.password);
        EXPECT_EQ(fresh.srcDirectory(), (home / "result").string());
        EXPECT_EQ(fresh.destDirectory(), (home / "log").string());
    }
}

TEST_F(AgentSettings, ConfigFileIsFoundWhateverTheLetterCaseExactNameFirst) {
    struct Case {
        std::vector<std::string>
            names;          // files in the folder; the first listed holds Server "chosen"
        std::string chosen; // "" = no configuration file
    };
    const std::vector<Case> cases = {
        {{"config.ini"}, "config.ini"},          {{"Config.ini"}, "Config.ini"},
        {{"CONFIG.INI"}, "CONFIG.INI"},          {{"config.ini", "Config.ini"}, "config.ini"},
        {{"config.ini.bak", "xconfig.ini"}, ""}, {{}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.empty() ? "none" : c.chosen);
        for (fs::directory_iterator it(home), end; it != end; ++it)
            fs::remove_all(it->path());
        for (size_t i = 0; i < c.names.size(); ++i)
            writeConfig(c.names[i], i == 0 ? "<Server>chosen</Server>" : "<Server>other</Server>");

        CTransferCoordinator fresh;
        fresh.setConfigDir(home.string());
        EXPECT_EQ(fresh.configFile(), c.chosen.empty() ? "" : (home / c.chosen).string());
        EXPECT_EQ(fresh.isDestDirRequired(), c.chosen.empty());
        fresh.init((home / "result").string());
        EXPECT_EQ(fresh.serverName(), c.chosen.empty() ? "" : "chosen");
        EXPECT_EQ(fs::is_directory(home / "log"), !c.chosen.empty());
    }
}

TEST_F(AgentSettings, WithoutConfigurationNothingIsReadAndTheLogLiesInTheWorkingDirectory) {
    load();
    EXPECT_EQ(coordinator.destDirectory(), "");
    EXPECT_FALSE(fs::exists(home / "log"));
    coordinator.log("entry");
    EXPECT_TRUE(fs::exists(home / todaysLog()));
}

TEST_F(AgentSettings, UnusableLogFolderDropsEntriesAndPutsDataFilesInTheWorkingDirectory) {
    struct Case {
        const char* what;
        void (*make)(const fs::path& log);
    };
    const std::vector<Case> cases = {
        {"log is a file", [](const fs::path& log) { writeFile(log, "not a folder"); }},
        {"log cannot be created",
         [](const fs::path& log) { fs::create_symlink("missing/parent/folder", log); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (fs::directory_iterator it(home), end; it != end; ++it)
            fs::remove_all(it->path());
        writeConfig("config.ini", "<Server>kx.example</Server>");
        c.make(home / "log");
        const std::set<std::string> before = tree(home);

        CTransferCoordinator fresh;
        fresh.setConfigDir(home.string());
        testing::internal::CaptureStderr();
        fresh.init((home / "result").string());
        EXPECT_NE(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(fresh.destDirectory(), "");
        EXPECT_EQ(fresh.serverName(), "kx.example");
        fresh.log("dropped");
        EXPECT_EQ(tree(home), before);
    }
}

TEST_F(AgentSettings, ExistingLogFolderIsPrunedWhenTheSettingsAreRead) {
    writeConfig("config.ini", "");
    fs::create_directories(home / "log");
    for (int day = 1; day <= 31; ++day)
        writeFile(home / "log" / wmi::format("kxinv_202401%02d.log", day), "x\n");
    load();
    EXPECT_EQ(tree(home / "log").size(), 30u);
    EXPECT_FALSE(fs::exists(home / "log" / "kxinv_20240101.log"));
}

TEST_F(AgentSettings, SettingsThatAreNotReadAreNamedInTheLog) {
    struct Case {
        const char* what;
        std::string content;
        std::vector<std::string> logged; // after "<stamp>|<path of config.ini>: "
        std::string server;
    };
    const std::vector<Case> cases = {
        {"classic INI",
         "[Config]\nServer=kx.example\nPort=8080\n",
         {"not read as XML (No document element found at line 4, column 1); every value keeps its "
          "default"},
         ""},
        {"unknown key and section",
         "<KX><Config><Server>kx.example</Server><Sever>x</Sever><HostID>3</HostID></Config><Proxy/"
         "></KX>",
         {"unknown key <Config/Sever> ignored", "unknown section <Proxy> ignored"},
         "kx.example"},
        {"every name known",
         "<KX><Config><Server>kx.example</Server></Config></KX>",
         {},
         "kx.example"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(home / "log");
        writeFile(home / "config.ini", c.content);
        CTransferCoordinator fresh;
        fresh.setConfigDir(home.string());
        fresh.init((home / "result").string());
        EXPECT_EQ(fresh.serverName(), c.server);
        EXPECT_EQ(fresh.serverPort(), 80);
        std::vector<std::string> expected;
        for (const std::string& line : c.logged)
            expected.push_back("@|" + (home / "config.ini").string() + ": " + line);
        const std::regex stamp("^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\|");
        std::vector<std::string> logged;
        if (fs::exists(home / "log" / todaysLog()))
            for (const std::string& line : lines(readFile(home / "log" / todaysLog())))
                logged.push_back(std::regex_replace(line, stamp, "@|"));
        EXPECT_EQ(logged, expected);
    }
}

TEST_F(AgentSettings, LogFolderAndLogFileAreForTheOwnerOnly) {
    writeConfig("config.ini", "");
    const mode_t previous = ::umask(0);
    load();
    coordinator.log("entry");
    ::umask(previous);
    EXPECT_EQ(fs::status(home / "log").permissions(), fs::perms(0700));
    EXPECT_EQ(fs::status(home / "log" / todaysLog()).permissions(), fs::perms(0600));
}

class AgentDailyLog : public Installation {
protected:
    void SetUp() override {
        Installation::SetUp();
        fs::create_directories(home / "log");
        coordinator.setDestDir((home / "log").string());
    }
    CTransferCoordinator coordinator;
};

TEST_F(AgentDailyLog, EntryIsStampBarTextAndLineFeedInTodaysFile) {
    const std::string before = todaysLog();
    coordinator.log("first");
    coordinator.log("two\nlines");
    coordinator.log("");
    CTransferCoordinator second; // a second run on the same day appends
    second.setDestDir((home / "log").string());
    second.log("second run");

    const std::set<std::string> files = tree(home / "log");
    ASSERT_EQ(files.size(), 1u);
    const std::string name = *files.begin();
    EXPECT_TRUE(name == before || name == todaysLog()) << name;
    EXPECT_TRUE(std::regex_match(name, std::regex("kxinv_[0-9]{8}\\.log")));

    const std::string content = readFile(home / "log" / name);
    const std::regex stamp("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\|");
    EXPECT_EQ(std::regex_replace(content, stamp, "@|"),
              "@|first\n@|two\nlines\n@|\n@|second run\n");
}

TEST_F(AgentDailyLog, PruningKeepsTheNewest30AndToday) {
    struct Case {
        const char* what;
        std::vector<std::string> files;
        std::vector<std::string> folders;
        std::vector<std::string> deleted;
    };
    std::vector<std::string> thirty, thirtyOne;
    for (int day = 1; day <= 31; ++day) {
        const std::string name = wmi::format("kxinv_202401%02d.log", day);
        if (day <= 30)
            thirty.push_back(name);
        thirtyOne.push_back(name);
    }
    std::vector<std::string> future;
    for (int day = 1; day <= 30; ++day)
        future.push_back(wmi::format("kxinv_209901%02d.log", day));
    auto with = [](std::vector<std::string> names, std::vector<std::string> more) {
        names.insert(names.end(), more.begin(), more.end());
        return names;
    };
    const std::vector<Case> cases = {
        {"30 files: none deleted", thirty, {}, {}},
        {"31 files: the oldest date deleted", thirtyOne, {}, {"kxinv_20240101.log"}},
        {"a folder with the prefix is not counted", thirty, {"kxinv_folder"}, {}},
        {"the prefix in capitals is not counted", with(thirty, {"KXINV_20240201.log"}), {}, {}},
        {"other names are not counted", with(thirty, {"kx_20240201.log", "update.log"}), {}, {}},
        {"the prefix and one character counts",
         with(thirty, {"kxinv_z"}),
         {},
         {"kxinv_20240101.log"}},
        {"a file of the bare prefix counts", with(thirty, {"kxinv_"}), {}, {"kxinv_"}},
        {"33 files: the three oldest",
         with(thirtyOne, {"kxinv_20240201.log", "kxinv_20240202.log"}),
         {},
         {"kxinv_20240101.log", "kxinv_20240102.log", "kxinv_20240103.log"}},
        {"today's file is kept even when 30 newer ones exist", with(future, {todaysLog()}), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(home / "log");
        fs::create_directories(home / "log");
        for (const std::string& name : c.files)
            writeFile(home / "log" / name, "x\n");
        for (const std::string& name : c.folders)
            fs::create_directories(home / "log" / name);

        coordinator.logDelete();

        for (const std::string& name : c.files) {
            const bool deleted =
                std::find(c.deleted.begin(), c.deleted.end(), name) != c.deleted.end();
            EXPECT_EQ(fs::exists(home / "log" / name), !deleted) << name;
        }
        for (const std::string& name : c.folders)
            EXPECT_TRUE(fs::is_directory(home / "log" / name)) << name;
    }
}

TEST_F(AgentDailyLog, UnopenableLogFileLosesTheEntrySilently) {
    fs::create_directories(home / "log" / todaysLog()); // a folder where the file should be
    coordinator.log("lost");
    EXPECT_TRUE(fs::is_directory(home / "log" / todaysLog()));
}

} // namespace
