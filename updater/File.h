#pragma once
// File version information of installed and downloaded files.

#include <string>

class File {
public:
    // Files carry no version information on this platform: sets `version` to
    // "0" and returns false, whatever the path.
    static bool GetVersion(const char* path, std::string& version);
};
