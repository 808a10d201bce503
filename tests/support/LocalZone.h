#pragma once
// The process's time zone set for one scope and restored afterwards, so
// that local times in a test do not depend on the machine's zone.

#include <cstdlib>
#include <ctime>
#include <string>

namespace kxtest {

class LocalZone {
public:
    explicit LocalZone(const char* zone = "UTC0") {
        if (const char* was = std::getenv("TZ")) {
            hadZone = true;
            previous = was;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~LocalZone() {
        if (hadZone)
            ::setenv("TZ", previous.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    bool hadZone = false;
    std::string previous;
};

} // namespace kxtest
