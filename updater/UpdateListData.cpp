#include "UpdateListData.h"

#include <sstream>

namespace {

// Fields at every "|": an empty field between two bars counts, an empty
// remainder after the last bar does not.
std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '|'))
        fields.push_back(field);
    return fields;
}

} // namespace

bool ParseListLine(const std::string& line, _updateListData& entry) {
    std::vector<std::string> fields = SplitFields(line);
    if (fields.size() < 2)
        return false;
    entry = _updateListData();
    entry.name = fields[0];
    entry.version = fields[1];
    if (fields.size() == 3) {
        entry.hash = fields[2];
    } else if (fields.size() >= 4) {
        entry.dir = fields[2];
        entry.hash = fields[3];
    }
    if (fields.size() >= 5)
        entry.skipReplace = fields[4].empty() || fields[4][0] != '0';
    return true;
}

std::vector<_updateListData> ParseList(std::istream& text) {
    std::vector<_updateListData> entries;
    std::string line;
    _updateListData entry;
    while (std::getline(text, line))
        if (ParseListLine(line, entry))
            entries.push_back(entry);
    return entries;
}

const char* UntrustedPathReason(const _updateListData& entry) {
    const std::string& name = entry.name;
    if (name.empty() || name == "." || name == "..")
        return "file name not allowed";
    if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
        return "file name holds a path separator or NUL";
    const std::string& dir = entry.dir;
    if (dir.find('\0') != std::string::npos)
        return "directory holds NUL";
    if (!dir.empty() && dir[0] == '/')
        return "directory is absolute";
    int depth = 0;
    std::istringstream parts(dir);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty() || part == ".")
            continue;
        depth += part == ".." ? -1 : 1;
        if (depth < 0)
            return "directory leads out of the working directory";
    }
    return nullptr;
}
