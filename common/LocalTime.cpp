#include "common/LocalTime.h"

namespace LocalTime {

std::string Format(std::time_t when, const char* pattern) {
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr)
        return std::string();
    char text[80];
    const std::size_t size = std::strftime(text, sizeof text, pattern, &local);
    return std::string(text, size);
}

std::string Now(const char* pattern) { return Format(std::time(nullptr), pattern); }

} // namespace LocalTime
