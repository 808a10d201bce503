#pragma once
// The reports of Apple's system_profiler (XML or binary property lists) that
// the collection script leaves in the source folder, and typed look-ups into
// their value trees. Every report has the same outer shape:
//
//   <array>
//     <dict>
//       <key>_dataType</key> <string>SPHardwareDataType</string>
//       <key>_items</key>    <array> <dict>…</dict> … </array>
//       …
//     </dict>
//   </array>
//
// Only the `_items` array of the first element matters to the collectors.

#include <cstdint>
#include <string>

#include <boost/any.hpp>
#include <boost/filesystem/path.hpp>

#include "plist/Plist.h"

namespace macos {

class ProfilerReport {
public:
    // Reads the file whole if it is a regular file of at most 256 MiB (a link
    // is not followed). A missing, refused, unreadable or empty file, one that
    // is not a property list, and one of another shape all give a report
    // without items.
    explicit ProfilerReport(const boost::filesystem::path& file);
    ProfilerReport(const ProfilerReport&) = delete; // items() points into the tree
    ProfilerReport& operator=(const ProfilerReport&) = delete;

    // The `_items` array, or null.
    const Plist::array_type* items() const { return itemList; }

private:
    boost::any root;
    const Plist::array_type* itemList = nullptr;
};

// The value as a T, or null when it holds another type.
template <typename T>
const T* as(const boost::any& value) {
    return boost::any_cast<T>(&value);
}

// The value under `key` as a T, or null when the key is absent or holds another type.
template <typename T>
const T* valueOf(const Plist::dictionary_type& dict, const std::string& key) {
    const auto found = dict.find(key);
    return found == dict.end() ? nullptr : boost::any_cast<T>(&found->second);
}

// Copies the text under `key` into `field`; leaves `field` alone otherwise.
void readText(const Plist::dictionary_type& dict, const std::string& key, std::string& field);

// The leading integer of a text as C's atoi reads it (blanks, a sign, digits;
// 0 without digits), widened so that scaling it cannot overflow.
int64_t leadingNumber(const std::string& text);

// The units of system_profiler's size texts, in kilobytes.
constexpr uint64_t kKbPerGb = 1048576;
constexpr uint64_t kKbPerMb = 1024;

// A size text in kilobytes: "8 GB" → 8388608, "512 MB" → 524288; 0 without either unit.
uint32_t sizeInKb(const std::string& text);

} // namespace macos
