#pragma once
// What the Mac and the Linux collectors read alike about the machine's
// identity: the host name's two parts, the source folder's own name, and the
// report whose presence marks a Mac's source folder.

#include <string>

namespace identity {

// system_profiler's hardware report. Only a Mac's collection leaves it, so
// both managers take its presence to mean macOS.
constexpr const char* kHardwareReport = "hardware.xml";

// The leaf name of the source folder ("collect"); none for "result", the name
// the collection script uses. Trailing "." components name nothing: "a/." and
// "a/" give "a", "." alone gives none.
std::string sourceFolderName(const std::string& sourceDir);

// "host.example.com": the label before the first dot as the computer name,
// the rest as the domain; without a dot the whole line and no domain.
struct HostName {
    std::string computerName;
    std::string domainName;
};
HostName splitHostName(const std::string& line);

} // namespace identity
