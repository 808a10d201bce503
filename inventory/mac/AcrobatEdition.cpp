// Which edition of Adobe Acrobat is installed, from Adobe's software-identification tag files.
#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/operations.hpp>
#include <pugixml.hpp>

#include "inventory/CSWInfoManager.h"

namespace fs = boost::filesystem;

namespace {

// Acrobat's tag file, e.g. "regid.1986-12.com.adobe_V7{}AcrobatESR-12-Win-GM-en_US.swidtag".
constexpr const char* kAcrobatTagPrefix = "regid.1986-12.com.adobe_V7{}Acrobat";
constexpr const char* kSerialNumber = "swid:serial_number";
// Serial numbers of the professional edition begin so.
constexpr const char* kProSerialPrefix = "9707";

// <swid:software_identification_tag …>
//   <swid:serial_number>970712345678…</swid:serial_number>
// The serial number's text, or false when the file is no such tag.
bool readSerialNumber(const fs::path& file, std::string& serial) {
    pugi::xml_document document;
    if (!document.load_file(file.c_str()))
        return false;
    const pugi::xml_node root = document.first_child();
    if (!root)
        return false;
    const pugi::xml_node element = root.child(kSerialNumber);
    if (!element)
        return false;
    serial = element.child_value();
    return true;
}

} // namespace

// Walks the tag folder and its sub-folders; the first Acrobat tag file with a
// serial number decides. No folder, no such file, or an error while walking: false.
bool CSWInfoManager::AdobeDCIsPro() {
    const fs::path folder(adobeTagDirectory);
    boost::system::error_code ec;
    if (!fs::exists(fs::status(folder, ec)))
        return false;
    fs::recursive_directory_iterator entry(folder, ec);
    for (const fs::recursive_directory_iterator end; !ec && entry != end; entry.increment(ec)) {
        boost::system::error_code statusError;
        if (fs::is_directory(entry->status(statusError)))
            continue;
        if (!boost::algorithm::starts_with(entry->path().filename().string(), kAcrobatTagPrefix))
            continue;
        std::string serial;
        if (readSerialNumber(entry->path(), serial))
            return boost::algorithm::starts_with(serial, kProSerialPrefix);
    }
    return false;
}
