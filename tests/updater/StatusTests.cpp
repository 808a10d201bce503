// How an update run ends: its last log line "end: <outcome>" and the status
// file "updatelog/last_run.json", for every outcome, against the real server.

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include <nlohmann/json.hpp>

#include "common/LocalTime.h"
#include "tests/updater/UpdateFixture.h"
#include "common/Version.h"

namespace {

using namespace kxtest;

struct Outcome {
    const char* text;
    int code;
    const char* entry; // what became of a.dat: "result" or "result: detail"; "" none
};
void PrintTo(const Outcome& outcome, std::ostream* os) { *os << outcome.text; }

class UpdateStatusTest : public UpdateFixture, public ::testing::WithParamInterface<Outcome> {
protected:
    // An installation and a server that lead to `outcome`.
    void Arrange(const std::string& outcome) {
        if (outcome == "not configured")
            return;
        Configure();
        Module("a.dat", outcome == "no update" ? "same" : "new");
        Publish(outcome == "update failed" ? "-d a.dat=sub" : "");
        Installed(outcome == "update failed" ? "sub" : "a.dat",
                  outcome == "no update" ? "same" : "old");
        if (outcome == "list failed")
            fs::remove(server->www() / "list.md5");
        if (outcome == "download failed")
            fs::remove(modules / "a.dat");
    }
};

TEST_P(UpdateStatusTest, EndLineAndStatusFileTellTheOutcome) {
    Arrange(GetParam().text);
    std::time_t before = std::time(nullptr);
    Run();
    EXPECT_EQ(Outcome(), GetParam().text);

    const fs::path file = install / "updatelog" / "last_run.json";
    EXPECT_EQ(fs::status(file).permissions() & fs::perms_mask, fs::perms(0600));
    nlohmann::json status = nlohmann::json::parse(readFile(file));
    EXPECT_EQ(status["program"], "KX_Updater");
    EXPECT_EQ(status["version"], KX_VERSION);
    EXPECT_EQ(status["outcome_code"], GetParam().code);
    EXPECT_EQ(status["outcome"], GetParam().text);
    EXPECT_EQ(status["detail"].get<std::string>().empty(), GetParam().code <= 1);
    EXPECT_LE(status["started"].get<std::string>(), status["ended"].get<std::string>());
    std::vector<std::string> entries;
    for (const auto& entry : status["entries"]) {
        EXPECT_EQ(entry["name"], "a.dat");
        std::string detail = entry["detail"];
        entries.push_back(entry["result"].get<std::string>() +
                          (detail.empty() ? "" : ": " + detail));
    }
    EXPECT_EQ(entries, std::string(GetParam().entry).empty()
                           ? std::vector<std::string>{}
                           : std::vector<std::string>{GetParam().entry});
    const std::string day = LocalTime::Format(before, "%Y-%m-%d");
    EXPECT_EQ(status["started"].get<std::string>().substr(0, 10), day);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, UpdateStatusTest,
    ::testing::Values(Outcome{"updated", 0, "updated"}, Outcome{"no update", 1, ""},
                      Outcome{"not configured", 2, ""}, Outcome{"list failed", 3, ""},
                      Outcome{"download failed", 4, "failed: not found"},
                      Outcome{"update failed", 5,
                              "failed: not replaced; the installed file is as it was"}));

} // namespace
