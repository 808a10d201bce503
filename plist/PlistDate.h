// A property-list date: one instant, kept as seconds since 1970-01-01T00:00:00Z.
#pragma once

#include <ctime>
#include <string>

namespace Plist {

class Date {
public:
    // The current time.
    Date();
    // An instant from calendar fields (month 1-12, day 1-31, full year,
    // hour 0-23), read as UTC when utc is true, else as local time.
    Date(int month, int day, int year, int hour, int minute, int second, bool utc);

    void set(int month, int day, int year, int hour, int minute, int second, bool utc);
    // The XML text form "YYYY-MM-DDThh:mm:ssZ" (always UTC); any other text
    // throws Plist::Error.
    void setTimeFromXMLConvention(const std::string& text);
    // Seconds since 2001-01-01T00:00:00Z, truncated toward zero.
    void setTimeFromAppleEpoch(double seconds);

    // Seconds since 1970-01-01T00:00:00Z.
    time_t timeAsEpoch() const { return time; }

    bool operator==(const Date& other) const { return time == other.time; }
    bool operator!=(const Date& other) const { return time != other.time; }

private:
    time_t time;
};

} // namespace Plist
