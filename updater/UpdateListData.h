#pragma once
// The update list: one line per file the installation should hold, fields
// separated by "|", in the full form
//
//   name|version|directory|digest|flag       KX_InventoryAGT|0|.|9e107d9d372bb6826bd81d3542a419d6|0
//
// or the short form name|version|digest. A carriage return before the line
// feed stays part of the line's last field.

#include <istream>
#include <string>
#include <vector>

struct _updateListData {
    std::string name;         // file name; also the name it is fetched and staged under
    std::string version;      // "0": only the digest is compared
    std::string hash;         // MD5 of the content, 32 hex digits, any case
    std::string dir;          // directory relative to the working directory; "" or "." for itself
    bool skipReplace = false; // downloaded and staged, but not put in place
};

// Reads one line into `entry`; false for a line of fewer than two fields.
bool ParseListLine(const std::string& line, _updateListData& entry);

// Every entry of the list text, in line order (duplicates kept).
std::vector<_updateListData> ParseList(std::istream& text);

// Why the entry's name or directory cannot be trusted as written (the module
// name rule of ModuleName.h), or nullptr when both are acceptable as text.
// Symbolic links are checked by the updater on disk.
const char* UntrustedPathReason(const _updateListData& entry);
