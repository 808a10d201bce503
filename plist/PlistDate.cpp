#include "plist/PlistDate.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "plist/Plist.h"

namespace Plist {

namespace {
// Seconds from 1970-01-01T00:00:00Z to 2001-01-01T00:00:00Z.
constexpr double appleEpochOffset = 978307200.0;
const char* const dateInvalid = "Plist::Date::set() date invalid";
} // namespace

Date::Date() : time(std::time(nullptr)) {}

Date::Date(int month, int day, int year, int hour, int minute, int second, bool utc) : Date() {
    set(month, day, year, hour, minute, second, utc);
}

void Date::set(int month, int day, int year, int hour, int minute, int second, bool utc) {
    std::tm fields{};
    fields.tm_sec = second;
    fields.tm_min = minute;
    fields.tm_hour = hour;
    fields.tm_mday = day;
    fields.tm_mon = month - 1;
    fields.tm_year = year - 1900;

    // timegm reads the fields as UTC exactly, in any local time zone and on
    // either side of a daylight-saving change; instants before 1970 are
    // negative like any other.
    errno = 0;
    time_t result;
    if (utc) {
        result = timegm(&fields);
    } else {
        const time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        fields.tm_isdst = local.tm_isdst;
        result = std::mktime(&fields);
    }
    if (result == static_cast<time_t>(-1) && errno != 0)
        throw Error(dateInvalid);
    time = result;
}

void Date::setTimeFromXMLConvention(const std::string& text) {
    int year, month, day, hour, minute, second;
    int matched = -1;
    // "2018-03-04T05:06:07Z"
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &year, &month, &day, &hour, &minute,
                    &second, &matched) != 6 ||
        matched < 0)
        throw Error("Plist: XML date not in the form YYYY-MM-DDThh:mm:ssZ: " + text);
    set(month, day, year, hour, minute, second, true);
}

void Date::setTimeFromAppleEpoch(double seconds) {
    const double epoch = seconds + appleEpochOffset;
    // Anything outside the range of time_t (or not a number) has no instant.
    if (!(std::fabs(epoch) < 9.2e18))
        throw Error(dateInvalid);
    time = static_cast<time_t>(epoch);
}

} // namespace Plist
