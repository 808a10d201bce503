#pragma once
// What the macOS collector tests share: a throw-away source folder, the real
// samples in tests/samples, small system_profiler reports written inline,
// and the managers with their collectors opened up.

#include <cstdlib>
#include <initializer_list>
#include <string>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "inventory/CHWInfoManager.h"
#include "inventory/CSWInfoManager.h"

namespace mactest {

namespace fs = boost::filesystem;

// The real outputs of real Macs, kept in tests/samples.
inline fs::path macSample(const std::string& relative) { return fs::path(KX_SAMPLES_DIR) / "macos" / relative; }

// A test whose sample is missing fails rather than passing unseen.
#define REQUIRE_SAMPLE(sample) ASSERT_TRUE(boost::filesystem::exists(sample)) << "sample not found: " << (sample)

inline void writeFile(const fs::path& file, const std::string& content) {
    fs::ofstream(file, std::ios::binary) << content;
}

inline std::string readFile(const fs::path& file) {
    fs::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A unique folder under the system's temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder() : root_(fs::temp_directory_path() / fs::unique_path("kx-mac-%%%%-%%%%-%%%%")) {
        fs::create_directories(root_);
    }
    ~TempFolder() {
        boost::system::error_code ec;
        fs::remove_all(root_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& path() const { return root_; }
    // A sub-folder, created.
    fs::path folder(const std::string& name) const {
        fs::create_directories(root_ / name);
        return root_ / name;
    }

private:
    fs::path root_;
};

// Property-list XML, piece by piece.
inline std::string str(const std::string& text) { return "<string>" + text + "</string>"; }
inline std::string integer(long long number) { return "<integer>" + std::to_string(number) + "</integer>"; }
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
           "<plist version=\"1.0\">\n" + root + "\n</plist>\n";
}
// A system_profiler report with these items.
inline std::string report(std::initializer_list<std::string> items) {
    return plist(array({dict({entry("_dataType", str("SPTestDataType")), entry("_items", array(items))})}));
}

// The managers with their collectors opened up; what they do is unchanged.
struct MacHardware : CHWInfoManager {
    using CHWInfoManager::CHWInfoManager;
    using CHWInfoManager::loadDiskInfo_mac;
    using CHWInfoManager::loadMemInfo_mac;
    using CHWInfoManager::loadNicInfo_mac;
    using CHWInfoManager::loadPartitionInfo_mac;
    using CHWInfoManager::loadSysInfo_mac;
    using CHWInfoManager::loadVgaInfo_mac;
};

struct MacSoftware : CSWInfoManager {
    using CSWInfoManager::AdobeDCIsPro;
    using CSWInfoManager::CSWInfoManager;
    using CSWInfoManager::loadForMac;
};

// Points the Acrobat tag folder somewhere else for one test.
class TagFolderOverride {
public:
    explicit TagFolderOverride(const fs::path& folder) : previous_(CSWInfoManager::adobeTagDirectory) {
        CSWInfoManager::adobeTagDirectory = folder.string() + "/";
    }
    ~TagFolderOverride() { CSWInfoManager::adobeTagDirectory = previous_; }

private:
    std::string previous_;
};

} // namespace mactest
