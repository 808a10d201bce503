#include "inventory/CSWInfoManager.h"

#include <boost/filesystem/operations.hpp>

#include "inventory/SystemIdentity.h"

namespace fs = boost::filesystem;

namespace {

constexpr const char* kApplicationList = "app"; // macOS list, or the Linux marker
constexpr const char* kUbuntuList = "app_install";

// Anything at the path counts; a failed query counts as nothing there.
bool present(const fs::path& path) {
    boost::system::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    return !ec && status.type() != fs::file_not_found && status.type() != fs::status_error;
}

} // namespace

CSWInfoManager::CSWInfoManager(const std::string& sourceFolder, const std::string& destFolder,
                               tagWMISTRUCT& shared, const std::string& tagFolder)
    : CBaseInfoManager(sourceFolder, destFolder, shared), adobeTagDirectory(tagFolder) {}

uint32_t CSWInfoManager::kxFileNumber() { return kFileKind; }

// "app" decides whether there is a list at all; "hardware.xml" marks a Mac,
// "app_install" an Ubuntu host; any other Linux host reads its package list.
void CSWInfoManager::load() {
    header.startTime = std::time(nullptr);
    applications.clear();
    const fs::path source(sourceDir);
    if (present(source / kApplicationList)) {
        if (present(source / identity::kHardwareReport))
            loadForMac(applications);
        else if (present(source / kUbuntuList))
            loadForUbuntu(applications);
        else
            loadForRestDists(applications);
    }
    header.endTime = std::time(nullptr);
}

void CSWInfoManager::buildHeader() { fillHeader(kFormatVersion, kFileKind, kCategoryCode); }

// header · count · per application: time, name, text, version, text, number · 0 · "KX20EOF"
void CSWInfoManager::encodeInfo(const fs::path& file) {
    FieldWriter out(file);
    buildHeader();
    out.header(header);
    out.count(applications.size());
    for (const tagAPPLIDATASTRUCT& application : applications) {
        out.ctime(application.installTime);
        out.text(application.name);
        out.text(application.reservedText1);
        out.text(application.version);
        out.text(application.reservedText2);
        out.dword(static_cast<uint32_t>(application.reservedNumber));
    }
    out.dword(0); // terminator
    out.trailer();
    out.close();
}
