#pragma once
// Local time as text: the one place that turns a moment into the calendar
// form of the machine's zone (log names and lines, backup names, stamps).

#include <ctime>
#include <string>

namespace LocalTime {

// `when` in local time, formatted with strftime (at most 79 characters);
// empty when the moment has no local calendar form.
std::string Format(std::time_t when, const char* pattern);

// The current moment, formatted the same way.
std::string Now(const char* pattern);

} // namespace LocalTime
