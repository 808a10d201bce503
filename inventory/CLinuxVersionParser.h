#pragma once
// Reads the distribution's release text that the collection script leaves in
// "os" and tells the distribution's name and version. The family is told by
// the first line holding one of twelve words (in a fixed order); each family
// has its own rule for the name and the version.

#include <string>

#include <boost/filesystem/path.hpp>

class CLinuxVersionParser {
public:
    CLinuxVersionParser() = default;

    // Replaces both fields; a missing or unreadable file leaves them empty.
    void parse(const boost::filesystem::path& file);

    // The version numbers of a line: each blank-separated piece reduced to its
    // digits and dots, the non-empty pieces joined by single blanks
    // ("release 7.6 (x86_64)" gives "7.6 8664").
    static std::string extractVersion(const std::string& text);

    std::string distribution;
    std::string version;
};
