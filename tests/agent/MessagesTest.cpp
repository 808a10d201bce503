// Message delivery: standard output, then the listeners in pointer order,
// then the log; the progress message and the coordinator's own log entries.

#include <map>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/CTransferCoordinator.h"
#include "tests/agent/Installation.h"
#include "common/utils.h"

namespace {

using namespace kxtest;
using Params = std::map<std::string, std::string>;

const std::regex kStamp("[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\|");

// Records what it receives, and whether the log already held the message then.
struct OrderListener final : CAbstractListener {
    int id = 0;
    std::vector<std::string>* events = nullptr;
    fs::path logFile;

    void onMessage(const std::string& text, Params& params) override {
        std::string event = std::to_string(id) + ":" + text;
        for (const auto& [key, value] : params)
            event += ":" + key + "=" + value;
        if (readFile(logFile).find(text) != std::string::npos)
            event += ":already-logged";
        events->push_back(event);
    }
    void onMessage(const std::string& text) override {
        events->push_back(std::to_string(id) + ":plain:" + text);
    }
};

class CoordinatorMessages : public Installation {
protected:
    void SetUp() override {
        Installation::SetUp();
        fs::create_directories(home / "log");
        coordinator.setDestDir((home / "log").string());
    }

    fs::path logFile() const { return home / "log" / wmi::currentTime("kxinv_%Y%m%d.log"); }

    // The log's lines with the stamps replaced by "@|".
    std::vector<std::string> logLines() const {
        std::vector<std::string> result;
        for (const std::string& line : lines(readFile(logFile())))
            result.push_back(
                std::regex_replace(line, kStamp, "@|", std::regex_constants::format_first_only));
        return result;
    }

    CTransferCoordinator coordinator;
};

TEST_F(CoordinatorMessages, GoToStandardOutputThenEachListenerInPointerOrderThenTheLog) {
    std::vector<std::string> events;
    OrderListener listeners[2];
    for (int i = 0; i < 2; ++i) {
        listeners[i].id = i;
        listeners[i].events = &events;
        listeners[i].logFile = logFile();
    }
    coordinator.addListener(&listeners[1]);
    coordinator.addListener(&listeners[0]);
    coordinator.addListener(&listeners[1]); // a duplicate is ignored

    Params params{{"K", "v"}};
    testing::internal::CaptureStdout();
    coordinator.sendMessage("ハードウェア情報作成完了", params);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ハードウェア情報作成完了\n");

    EXPECT_EQ(events, (std::vector<std::string>{"0:ハードウェア情報作成完了:K=v",
                                                "1:ハードウェア情報作成完了:K=v"}));
    // The log gets the text alone, after the listeners.
    EXPECT_EQ(logLines(), (std::vector<std::string>{"@|ハードウェア情報作成完了"}));
}

TEST_F(CoordinatorMessages, ProgressCarriesExactlyTheTwoSizesAsDecimalText) {
    struct Case {
        int64_t uploaded, total;
        const char* uploadedText;
        const char* totalText;
    };
    const std::vector<Case> cases = {
        {0, 100, "0", "100"},
        {100, 100, "100", "100"},
        {300, 1000, "300", "1000"},
        {0, 0, "0", "0"},
        {3000000000LL, 5000000000LL, "3000000000", "5000000000"}, // beyond 32 bits
    };
    struct Capture final : CAbstractListener {
        std::vector<std::pair<std::string, Params>> got;
        void onMessage(const std::string& text, Params& params) override {
            got.emplace_back(text, params);
        }
        void onMessage(const std::string& text) override {
            got.emplace_back("plain:" + text, Params{});
        }
    } capture;
    coordinator.addListener(&capture);

    testing::internal::CaptureStdout();
    for (const Case& c : cases)
        coordinator.sendProgress(c.uploaded, c.total);
    const std::string out = testing::internal::GetCapturedStdout();

    ASSERT_EQ(capture.got.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(capture.got[i].first, "UPDATE_PROGRESS");
        EXPECT_EQ(capture.got[i].second, (Params{{"TOTAL_SIZE", cases[i].totalText},
                                                 {"UPLOADED_SIZE", cases[i].uploadedText}}));
    }
    EXPECT_EQ(lines(out), std::vector<std::string>(cases.size(), "UPDATE_PROGRESS"));
}

TEST_F(CoordinatorMessages, CoordinatorLogsItsOwnMessagesWithTheirParametersInKeyOrder) {
    Params params{{"UPLOADED_SIZE", "3"}, {"TOTAL_SIZE", "10"}};
    coordinator.onMessage("UPDATE_PROGRESS", params);
    coordinator.onMessage("実行開始...");
    Params none;
    coordinator.onMessage("plain", none);
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{"@|UPDATE_PROGRESS", "TOTAL_SIZE:10", "UPLOADED_SIZE:3",
                                        "@|実行開始...", "@|plain"}));
}

TEST_F(CoordinatorMessages, AfterCleanupTheCoordinatorIsItsOnlyListenerAndLogsTwice) {
    std::vector<std::string> events;
    OrderListener other;
    other.events = &events;
    other.logFile = logFile();
    coordinator.addListener(&other);
    coordinator.cleanup();

    testing::internal::CaptureStdout();
    coordinator.sendProgress(1, 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "UPDATE_PROGRESS\n");
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(logLines(), (std::vector<std::string>{"@|UPDATE_PROGRESS", "TOTAL_SIZE:2",
                                                    "UPLOADED_SIZE:1", "@|UPDATE_PROGRESS"}));
}

TEST_F(CoordinatorMessages, ClearListenersLeavesTheCoordinatorAlone) {
    std::vector<std::string> events;
    OrderListener other;
    other.events = &events;
    other.logFile = logFile();
    coordinator.addListener(&other);
    coordinator.clearListeners();
    Params none;
    testing::internal::CaptureStdout();
    coordinator.sendMessage("x", none);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(logLines(), (std::vector<std::string>{"@|x", "@|x"}));
}

} // namespace
