#pragma once
// The last-run status files both programs leave for a monitoring system
// ("log/last_run.json", "updatelog/last_run.json"): one JSON object whose
// first fields are the same in both, then each program's own, written with
// two-space indentation and a final newline. Texts from outside (server
// answers, file and entry names) need not be UTF-8: invalid bytes become
// U+FFFD. The file is replaced whole and readable by the owner only
// (PrivateFile::ReplaceAtomically).
//
//   {"program":"KX_Updater","version":"1.0.0.2",
//    "started":"2024-03-05T08:00:01+09:00","ended":"2024-03-05T08:00:09+09:00",
//    "outcome_code":0,"outcome":"updated","detail":"", …the program's own fields}

#include <ctime>
#include <string>

#include <nlohmann/json.hpp>

namespace StatusFile {

// The fields every status file opens with, in this order.
struct Head {
    const char* program;
    std::string version;
    std::time_t started;
    std::time_t ended;
    int outcomeCode;
    const char* outcome;
    std::string detail;
};

// An object holding `head`'s fields; the program adds its own after them.
nlohmann::ordered_json Open(const Head& head);

// The file's text for `status`, to be written with PrivateFile::ReplaceAtomically.
std::string Text(const nlohmann::ordered_json& status);

} // namespace StatusFile
