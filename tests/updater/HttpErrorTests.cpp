// Every request of an update run answered with an HTTP error by the real
// server: the run says which status, keeps nothing of the error page, tries
// again only what may pass (5xx), and ends with its outcome.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/updater/UpdateFixture.h"

namespace {

using namespace kxtest;

struct HttpError {
    const char* name;
    const char* key;    // update.ini "Update" key whose path answers with the error
    const char* path;   // below "/status.py/"
    const char* logged; // the run's last line before "end: "
    std::vector<unsigned> pauses;
    const char* outcome;
};
void PrintTo(const HttpError& c, std::ostream* os) { *os << c.name; }

class UpdateHttpErrorTest : public UpdateFixture,
                            public ::testing::WithParamInterface<HttpError> {};

TEST_P(UpdateHttpErrorTest, IsNamedWithItsStatusAndNothingOfThePageIsKept) {
    const HttpError& c = GetParam();
    Configure(Settings().Path(c.key, std::string("/status.py/") + c.path));
    Module("a.dat", "new");
    Publish();
    Installed("a.dat", "old");
    Run();
    EXPECT_EQ(Log().back(), c.logged);
    EXPECT_EQ(pauses, c.pauses);
    EXPECT_EQ(Outcome(), c.outcome);
    // An error page is never content: not in the staging folder, not in the log.
    EXPECT_FALSE(fs::exists(install / "updatetmp" / "list.txt") && std::string(c.key) == "List");
    for (const auto& [name, bytes] : Snapshot(install))
        EXPECT_EQ(bytes.find("error page"), std::string::npos) << name;
    if (std::string(c.key) == "Log") {
        nlohmann::json status =
            nlohmann::json::parse(readFile(install / "updatelog" / "last_run.json"));
        EXPECT_EQ(status["log_upload"], "http err:500");
    } else {
        ExpectLogUploadedOnce();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, UpdateHttpErrorTest,
    ::testing::Values(
        HttpError{"List404",
                  "List",
                  "404/list.txt",
                  "DownloadList: not found: /status.py/404/list.txt",
                  {},
                  "list failed"},
        HttpError{
            "List403", "List", "403/list.txt", "DownloadList: http err:403", {}, "list failed"},
        HttpError{"List500",
                  "List",
                  "500/list.txt",
                  "DownloadList: http err:500",
                  {5, 5, 5, 5},
                  "list failed"},
        HttpError{"Digest404",
                  "ListHash",
                  "404/list.md5",
                  "DownloadList Hash: not found",
                  {},
                  "list failed"},
        HttpError{"Digest401",
                  "ListHash",
                  "401/list.md5",
                  "DownloadList Hash: http err:401",
                  {},
                  "list failed"},
        HttpError{"Digest503",
                  "ListHash",
                  "503/list.md5",
                  "DownloadList Hash: http err:503",
                  {5, 5, 5, 5},
                  "list failed"},
        HttpError{"Module404", "Modules", "404", "DownloadFiles: not found", {}, "download failed"},
        HttpError{
            "Module403", "Modules", "403", "DownloadFiles: http err:403", {}, "download failed"},
        HttpError{"Module500",
                  "Modules",
                  "500",
                  "DownloadFiles: http err:500",
                  {10, 10, 10, 10},
                  "download failed"},
        HttpError{"Complete404", "Complete", "404", "Complete: not found", {}, "updated"},
        HttpError{"Complete403", "Complete", "403", "Complete: http err:403", {}, "updated"},
        HttpError{
            "Complete500", "Complete", "500", "Complete: http err:500", {1, 1, 1, 1}, "updated"},
        HttpError{"LogUpload500", "Log", "500", "Complete: not found", {}, "updated"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
