#include "common/utils.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include <iconv.h>

#include "common/InputFile.h"
#include "common/LocalTime.h"

namespace wmi {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr size_t kSjisBuffer = 1024;

} // namespace

std::string trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::map<std::string, std::string> parseMap(const boost::filesystem::path& file) {
    std::map<std::string, std::string> result;
    const std::optional<std::string> text = inputfile::readInput(file.string(), inputfile::kTextLimit);
    if (!text)
        return result;
    for (const std::string& line : inputfile::splitLines(*text)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        result[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
    }
    return result;
}

std::string singleLine(const boost::filesystem::path& file) {
    const std::optional<std::string> text = inputfile::readInput(file.string(), inputfile::kTextLimit);
    if (!text)
        return std::string();
    return trim(text->substr(0, text->find('\n')));
}

std::string UTF8toSJIS(const std::string& text) {
    const std::string input = text.substr(0, text.find('\0'));
    iconv_t cd = iconv_open("SHIFT-JIS//TRANSLIT//IGNORE", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return text;
    char out[kSjisBuffer] = {};
    char* inPtr = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* outPtr = out;
    size_t outLeft = kSjisBuffer - 1; // keep the terminating NUL
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return text;
    return std::string(out, outPtr);
}

std::string currentTime(const std::string& pattern) { return LocalTime::Now(pattern.c_str()); }

std::string format(const char* pattern, ...) {
    char buffer[512];
    va_list args;
    va_start(args, pattern);
    const int n = std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    if (n < 0)
        return std::string();
    return std::string(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}

} // namespace wmi
