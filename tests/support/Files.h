#pragma once
// Reading and writing whole files, and splitting texts into lines: what
// almost every test does with the files a run reads or leaves.

#include <sstream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <boost/filesystem/fstream.hpp>

namespace kxtest {

// The whole file, or "" when it cannot be read.
inline std::string readFile(const boost::filesystem::path& file) {
    boost::filesystem::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Writes `content` as the whole file, creating its folder first.
inline void writeFile(const boost::filesystem::path& file, const std::string& content) {
    if (file.has_parent_path())
        boost::filesystem::create_directories(file.parent_path());
    boost::filesystem::ofstream(file, std::ios::binary) << content;
}

// The lines of `text`, without their "\n".
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

} // namespace kxtest
