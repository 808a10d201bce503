#pragma once
// Text helpers shared by run control and every collector. Pure functions of
// their arguments (and of the clock or a file's content); no state.

#include <map>
#include <string>

#include <boost/filesystem/path.hpp>

namespace wmi {

// The text without leading and trailing ASCII white space (blank, \t, \n, \v, \f, \r).
std::string trim(const std::string& text);

// The "key: value" lines of a file, key and value trimmed, split at the first
// colon; lines without a colon are skipped, a later key replaces an earlier
// one. Lines of any length are read whole. A missing file, and one that is
// not a regular file of at most 16 MiB (inputfile::readInput), gives an empty map.
std::map<std::string, std::string> parseMap(const boost::filesystem::path& file);

// The file's first line, trimmed; empty when the file is missing, empty or
// refused as parseMap's is.
std::string singleLine(const boost::filesystem::path& file);

// The text (up to its first NUL) in Shift_JIS, at most 1023 bytes; the text
// unchanged when the conversion fails or its result would not fit.
std::string UTF8toSJIS(const std::string& text);

// The current local time formatted with strftime (at most 79 characters).
std::string currentTime(const std::string& pattern);

// printf-style formatting, cut to 511 characters.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

} // namespace wmi
