#include "updater/UpdateListData.h"

#include <sstream>

#include "common/ModuleName.h"

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
    while (std::getline(text, line)) {
        // A list saved with CRLF line ends reads like one with LF.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (ParseListLine(line, entry))
            entries.push_back(entry);
    }
    return entries;
}

const char* UntrustedPathReason(const _updateListData& entry) {
    if (const char* problem = ModuleNameProblem(entry.name))
        return problem;
    return ModuleDirProblem(entry.dir);
}
