#pragma once
// What the macOS collector tests share: a throw-away source folder, the real
// samples in tests/samples and small system_profiler reports written inline.

#include <initializer_list>
#include <string>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/support/Files.h"
#include "tests/support/OpenManagers.h"
#include "tests/support/TempFolder.h"

namespace mactest {

namespace fs = boost::filesystem;

// The real outputs of real Macs, kept in tests/samples.
inline fs::path macSample(const std::string& relative) {
    return fs::path(KX_SAMPLES_DIR) / "macos" / relative;
}

// A test whose sample is missing fails rather than passing unseen.
#define REQUIRE_SAMPLE(sample)                                                                     \
    ASSERT_TRUE(boost::filesystem::exists(sample)) << "sample not found: " << (sample)

using kxtest::OpenHWManager;
using kxtest::OpenSWManager;
using kxtest::readFile;
using kxtest::writeFile;

// A unique folder under the system's temporary folder, removed with the object.
class TempFolder : public kxtest::TempFolder {
public:
    TempFolder() : kxtest::TempFolder("kx-mac") {}

    // A sub-folder, created.
    fs::path folder(const std::string& name) const {
        fs::create_directories(path() / name);
        return path() / name;
    }
};

// Property-list XML, piece by piece.
inline std::string str(const std::string& text) { return "<string>" + text + "</string>"; }
inline std::string integer(long long number) {
    return "<integer>" + std::to_string(number) + "</integer>";
}
inline std::string date(const std::string& text) { return "<date>" + text + "</date>"; }
inline std::string entry(const std::string& key, const std::string& value) {
    return "<key>" + key + "</key>" + value;
}
inline std::string dict(std::initializer_list<std::string> entries) {
    std::string xml = "<dict>";
    for (const std::string& e : entries)
        xml += e;
    return xml + "</dict>";
}
inline std::string array(std::initializer_list<std::string> values) {
    std::string xml = "<array>";
    for (const std::string& v : values)
        xml += v;
    return xml + "</array>";
}
inline std::string plist(const std::string& root) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n" +
           root + "\n</plist>\n";
}
// A system_profiler report with these items.
inline std::string report(std::initializer_list<std::string> items) {
    return plist(
        array({dict({entry("_dataType", str("SPTestDataType")), entry("_items", array(items))})}));
}

} // namespace mactest
