#include "LinuxInput.h"

#include <boost/filesystem/fstream.hpp>

namespace linuxinput {

std::vector<std::string> readLines(const boost::filesystem::path& file) {
    std::vector<std::string> lines;
    boost::filesystem::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

bool beginsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

bool searchLine(const std::string& line, const std::regex& pattern, std::smatch& match) {
    return line.size() <= kLongestSearchedLine && std::regex_search(line, match, pattern);
}

} // namespace linuxinput
