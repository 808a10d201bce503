#pragma once
// Reading the collection script's text files on Linux hosts: lines split at
// "\n" (a carriage return stays in the line), and the regular expression
// searches the collectors use.

#include <ctime>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>

namespace linuxinput {

// The file's lines; a missing or unreadable file, and one that is not a
// regular file of at most 16 MiB in the folder (a link is not followed), has none.
std::vector<std::string> readLines(const boost::filesystem::path& file);

// Searches `line` anywhere for `pattern`. No tool prints lines anywhere near
// kLongestSearchedLine characters; longer lines never match, because the
// regular-expression engine recurses per character (and backtracks over
// every split of "(.*)" groups) and would overflow the stack or run for minutes.
constexpr size_t kLongestSearchedLine = 1024;
bool searchLine(const std::string& line, const std::regex& pattern, std::smatch& match);

// A local date and time read from digits at fixed places of `text` (year,
// month, day, hour, minute, second; each converted as by atoi), with the
// system deciding whether daylight saving applies. Nothing when the
// local-time conversion refuses it. The caller checks the text is long enough.
struct DateTimePlaces {
    size_t year, month, day, hour, minute, second;
};
std::optional<std::time_t> localDateTime(const std::string& text, const DateTimePlaces& at);

} // namespace linuxinput
