// The installed applications of a Mac.
#include <boost/filesystem/path.hpp>

#include "inventory/CSWInfoManager.h"
#include "inventory/mac/ProfilerReport.h"

namespace {

constexpr const char* kApplicationReport = "app";

// The profiler names every Acrobat edition alike; the tag files tell which one it is.
constexpr const char* kAcrobat = "Adobe Acrobat";
constexpr const char* kAcrobatPro = "Adobe Acrobat Pro";
constexpr const char* kAcrobatStandard = "Adobe Acrobat Standard";

} // namespace

// "app", system_profiler SPApplicationsDataType; each item is an application:
//   _name "Safari", version "17.4" (may be missing), lastModified 2024-03-21T06:13:23Z
// Applications without a name are not recorded; duplicates are.
void CSWInfoManager::loadForMac(std::vector<tagAPPLIDATASTRUCT>& out) {
    const bool acrobatPro = AdobeDCIsPro();
    const macos::ProfilerReport report(boost::filesystem::path(sourceDir) / kApplicationReport);
    if (report.items() == nullptr)
        return;
    for (const boost::any& value : *report.items()) {
        const Plist::dictionary_type* item = macos::as<Plist::dictionary_type>(value);
        if (item == nullptr)
            continue;
        tagAPPLIDATASTRUCT application;
        macos::readText(*item, "_name", application.name);
        if (application.name == kAcrobat)
            application.name = acrobatPro ? kAcrobatPro : kAcrobatStandard;
        if (const Plist::Date* modified = macos::valueOf<Plist::Date>(*item, "lastModified"))
            application.installTime = modified->timeAsEpoch();
        macos::readText(*item, "version", application.version);
        if (!application.name.empty())
            out.push_back(std::move(application));
    }
}
