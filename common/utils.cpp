#include "common/utils.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include <iconv.h>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/trim.hpp>

#include "common/InputFile.h"
#include "common/LocalTime.h"

namespace wmi {

namespace {

// The six ASCII white-space characters; bytes of multibyte UTF-8 characters never are.
constexpr const char* kBlanks = " \t\n\v\f\r";

constexpr size_t kSjisBuffer = 1024;

} // namespace

std::string trim(const std::string& text) {
    return boost::algorithm::trim_copy_if(text, boost::algorithm::is_any_of(kBlanks));
}

std::map<std::string, std::string> parseMap(const boost::filesystem::path& file) {
    std::map<std::string, std::string> result;
    const std::optional<std::string> text =
        inputfile::readInput(file.string(), inputfile::kTextLimit);
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
    const std::optional<std::string> text =
        inputfile::readInput(file.string(), inputfile::kTextLimit);
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
