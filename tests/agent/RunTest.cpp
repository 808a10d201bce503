// The coordinator's run: both managers in order, their data files seen by a
// listener while they exist, a failing manager reported and skipped, and
// nothing left behind after the clean-up.

#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/CTransferCoordinator.h"
#include "tests/agent/Installation.h"

namespace {

using namespace kxtest;
using Params = std::map<std::string, std::string>;

// Keeps every message and a copy of each data file that exists when a message arrives.
struct Recorder final : CAbstractListener {
    explicit Recorder(const CTransferCoordinator& c) : coordinator(c) {}

    void onMessage(const std::string& text, Params& params) override {
        texts.push_back(text);
        parameters.push_back(params);
        for (const std::string& file : coordinator.files())
            if (fs::exists(file))
                copies[fs::path(file).filename().string()] = readFile(file);
    }
    void onMessage(const std::string& text) override { texts.push_back("plain:" + text); }

    const CTransferCoordinator& coordinator;
    std::vector<std::string> texts;
    std::vector<Params> parameters;
    std::map<std::string, std::string> copies;
};

// The data file decoded by kxdump (JSON), or "" when the tool is not built.
std::string decode(const fs::path& folder, const std::string& name, const std::string& bytes) {
    const fs::path tool = fs::path(KX_BINARY_DIR) / "kxdump";
    if (!fs::exists(tool))
        return "";
    writeFile(folder / name, bytes);
    const fs::path json = folder / (name + ".json");
    const std::string command =
        tool.string() + " '" + (folder / name).string() + "' > '" + json.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    const std::string text = readFile(json);
    fs::remove(folder / name);
    fs::remove(json);
    return text;
}

class CoordinatorRun : public Installation {
public:
    void prepare() {
        coordinator.setConfigDir(home.string());
        coordinator.setSrcDir(home.string());
        coordinator.init((home / "result").string());
        coordinator.setVersion("1.0.0.2");
        coordinator.addListener(&recorder);
    }

    CTransferCoordinator coordinator;
    Recorder recorder{coordinator};
};

TEST_F(CoordinatorRun, BothDataFilesAreWrittenInOrderAndRemovedByTheCleanup) {
    copyLinuxInputs();
    writeConfig("config.ini", "<Server>127.0.0.1</Server>");
    prepare();
    const auto inputs = tree(home / "result");

    testing::internal::CaptureStdout();
    coordinator.start();
    const std::string out = testing::internal::GetCapturedStdout();

    const std::vector<std::string> expected = {"実行開始...",
                                               "UPDATE_PROGRESS",
                                               "ハードウェア情報読込み中...",
                                               "ハードウェア情報作成完了",
                                               "ソフトウェア情報読込み中...",
                                               "ソフトウェア情報作成完了"};
    EXPECT_EQ(recorder.texts, expected);
    EXPECT_EQ(lines(out), expected);
    EXPECT_EQ(recorder.parameters[1], (Params{{"TOTAL_SIZE", "100"}, {"UPLOADED_SIZE", "0"}}));

    // Hardware first, software second, both in the log folder.
    ASSERT_EQ(coordinator.files().size(), 2u);
    const fs::path hardware(coordinator.files()[0]);
    const fs::path software(coordinator.files()[1]);
    EXPECT_EQ(hardware.parent_path(), home / "log");
    EXPECT_EQ(software.parent_path(), home / "log");
    EXPECT_TRUE(
        std::regex_match(hardware.filename().string(), std::regex("KX-0-12[0-9]{14}\\.dat")));
    EXPECT_TRUE(
        std::regex_match(software.filename().string(), std::regex("KX-0-01[0-9]{14}\\.dat")));

    ASSERT_EQ(recorder.copies.size(), 2u);
    for (const auto& [name, bytes] : recorder.copies) {
        SCOPED_TRACE(name);
        EXPECT_EQ(bytes.compare(0, 5, "\x04KX20"), 0);
        ASSERT_GE(bytes.size(), 7u);
        EXPECT_EQ(bytes.substr(bytes.size() - 7), "KX20EOF");
    }
    // The values of the fixtures, decoded from the copies.
    const std::string hwJson =
        decode(base, hardware.filename().string(), recorder.copies[hardware.filename().string()]);
    const std::string swJson =
        decode(base, software.filename().string(), recorder.copies[software.filename().string()]);
    ASSERT_FALSE(hwJson.empty()) << "kxdump is not built";
    for (const char* value :
         {"host-01", "office.example", "Example Computers", "SN-12345", "1.0.0.2",
          "Ubuntu 22.04.3 LTS", "192.168.1.10", "255.255.255.0", "UHD Graphics 620"})
        EXPECT_NE(hwJson.find(value), std::string::npos) << value;
    for (const char* value :
         {"host-01", "4c4c4544-0042-3510-8051-b7c04f4a3732", "5.1-6ubuntu1", "coreutils"})
        EXPECT_NE(swJson.find(value), std::string::npos) << value;

    coordinator.cleanup();
    EXPECT_FALSE(coordinator.managersAlive());
    EXPECT_TRUE(coordinator.files().empty());
    EXPECT_FALSE(fs::exists(hardware));
    EXPECT_FALSE(fs::exists(software));
    const auto after = tree(home);
    coordinator.cleanup(); // a second clean-up changes nothing
    EXPECT_EQ(tree(home), after);
    EXPECT_EQ(tree(home / "result"), inputs); // the run never writes into "result"
    EXPECT_TRUE(fs::is_empty(temp));
    for (const std::string& name : tree(home / "log"))
        EXPECT_EQ(name.compare(0, 6, "kxinv_"), 0) << name;
}

TEST_F(CoordinatorRun, FailingManagerIsReportedByNameAndContributesNoFile) {
    struct Case {
        const char* what;
        void (*arrange)(CoordinatorRun& run);
    };
    const std::vector<Case> cases = {
        {"no system entry",
         [](CoordinatorRun& run) {
             // A Mac report without any system entry.
             fs::create_directories(run.home / "result");
             writeFile(run.home / "result" / "hardware.xml",
                       "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>");
             run.prepare();
         }},
        {"output folder gone",
         [](CoordinatorRun& run) {
             run.copyLinuxInputs();
             run.prepare();
             run.coordinator.setDestDir((run.home / "gone").string());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (fs::directory_iterator it(home), end; it != end; ++it)
            fs::remove_all(it->path());
        writeConfig("config.ini", "");
        c.arrange(*this);

        testing::internal::CaptureStdout();
        coordinator.start();
        const std::vector<std::string> out = lines(testing::internal::GetCapturedStdout());

        ASSERT_EQ(out.size(), 6u);
        EXPECT_EQ(out[2], "ハードウェア情報読込み中...");
        EXPECT_EQ(out[3].rfind("ハードウェア情報作成失敗 (CHWInfoManager): ", 0), 0u) << out[3];
        EXPECT_EQ(out[4], "ソフトウェア情報読込み中...");
        EXPECT_EQ(out[5].rfind("ソフトウェア情報作成失敗 (CSWInfoManager): ", 0), 0u) << out[5];
        EXPECT_GT(out[3].size(), std::string("ハードウェア情報作成失敗 (CHWInfoManager): ").size());
        EXPECT_EQ(recorder.texts, out);
        EXPECT_TRUE(coordinator.files().empty());
        EXPECT_TRUE(fs::is_empty(temp)) << "temporary files left behind";
        for (const std::string& name : tree(home))
            EXPECT_EQ(name.find("KX-"), std::string::npos) << name;

        coordinator.cleanup();
        EXPECT_FALSE(coordinator.managersAlive());
        coordinator.addListener(&recorder);
        recorder.texts.clear();
    }
}

} // namespace
