#include "inventory/linux/LinuxInput.h"

#include <cstdlib>

#include "common/InputFile.h"

namespace linuxinput {

std::vector<std::string> readLines(const boost::filesystem::path& file) {
    const std::optional<std::string> text =
        inputfile::readInput(file.string(), inputfile::kTextLimit);
    return text ? inputfile::splitLines(*text) : std::vector<std::string>();
}

bool searchLine(const std::string& line, const std::regex& pattern, std::smatch& match) {
    return line.size() <= kLongestSearchedLine && std::regex_search(line, match, pattern);
}

std::optional<std::time_t> localDateTime(const std::string& text, const DateTimePlaces& at) {
    const auto number = [&text](size_t place, size_t length) {
        return std::atoi(text.substr(place, length).c_str());
    };
    std::tm local{};
    local.tm_year = number(at.year, 4) - 1900;
    local.tm_mon = number(at.month, 2) - 1;
    local.tm_mday = number(at.day, 2);
    local.tm_hour = number(at.hour, 2);
    local.tm_min = number(at.minute, 2);
    local.tm_sec = number(at.second, 2);
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == -1)
        return std::nullopt;
    return seconds;
}

} // namespace linuxinput
