#include "inventory/CLinuxVersionParser.h"

#include <regex>
#include <vector>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/join.hpp>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/split.hpp>

#include "inventory/linux/LinuxInput.h"

namespace {

using boost::algorithm::contains;

enum class Family { FirstLine, Ubuntu, Debian, Suse, Mandriva };

// Searched in this order; of the words a line holds, the earliest here decides.
struct FamilyWord {
    const char* word;
    Family family;
};
const FamilyWord kFamilyWords[] = {
    {"Ubuntu", Family::Ubuntu},     {"Debian", Family::Debian},     {"Fedora", Family::FirstLine},
    {"Oracle", Family::FirstLine},  {"Red Hat", Family::FirstLine}, {"CentOS", Family::FirstLine},
    {"Arch", Family::FirstLine},    {"Turbo", Family::FirstLine},   {"SUSE", Family::Suse},
    {"Mandriva", Family::Mandriva}, {"Vine", Family::FirstLine},    {"Gentoo", Family::FirstLine},
};

// Key, equals sign and opening quotation mark of the lsb-release description:
// DISTRIB_DESCRIPTION="Ubuntu 18.04.3 LTS"
const std::string kDescriptionKey = "DISTRIB_DESCRIPTION";
constexpr size_t kDescriptionPrefix = 21;

// The family of the first line that holds any of the words.
Family detectFamily(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        for (const FamilyWord& candidate : kFamilyWords)
            if (contains(line, candidate.word))
                return candidate.family;
    return Family::FirstLine;
}

} // namespace

std::string CLinuxVersionParser::extractVersion(const std::string& text) {
    static const std::regex kNotVersion("[^.0-9]");
    std::vector<std::string> pieces;
    boost::algorithm::split(pieces, text, boost::algorithm::is_any_of(" "),
                            boost::algorithm::token_compress_on);
    std::vector<std::string> numbers;
    for (const std::string& piece : pieces) {
        std::string number = std::regex_replace(piece, kNotVersion, "");
        if (!number.empty())
            numbers.push_back(number);
    }
    return boost::algorithm::join(numbers, " ");
}

void CLinuxVersionParser::parse(const boost::filesystem::path& file) {
    const std::vector<std::string> lines = linuxinput::readLines(file);
    const std::string firstLine = lines.empty() ? std::string() : lines.front();
    distribution.clear();
    version.clear();

    switch (detectFamily(lines)) {
    case Family::FirstLine:
        // CentOS Linux release 7.6.1810 (Core)
        distribution = firstLine;
        version = extractVersion(firstLine);
        break;
    case Family::Ubuntu:
        // DISTRIB_ID=Ubuntu
        // DISTRIB_DESCRIPTION="Ubuntu 18.04.3 LTS"
        // The description line counts wherever it stands (the last one when
        // there are several); a line too short to hold a value names nothing.
        distribution = "Ubuntu";
        for (const std::string& line : lines) {
            if (!contains(line, kDescriptionKey))
                continue;
            distribution =
                line.size() > kDescriptionPrefix
                    ? line.substr(kDescriptionPrefix, line.size() - kDescriptionPrefix - 1)
                    : std::string();
            version = extractVersion(line);
        }
        break;
    case Family::Debian:
        // 9.8 (the first line of /etc/debian_version)
        distribution = "Debian " + firstLine;
        version = firstLine;
        break;
    case Family::Suse:
        // SUSE Linux Enterprise Server 12 (x86_64)
        // VERSION = 12
        for (const std::string& line : lines) {
            if (contains(line, "SUSE"))
                distribution = line;
            if (contains(line, "VERSION")) {
                const size_t equals = line.find('=');
                version = equals == std::string::npos ? line : line.substr(equals + 1);
            }
        }
        break;
    case Family::Mandriva:
        // Mandriva Linux release 2011.0 (turtle) for x86_64
        distribution = firstLine;
        version = firstLine;
        break;
    }
}
