#include "common/ModuleName.h"

#include <sstream>

const char* const kUpdaterFilePrefix = ".kxupd-";

namespace {

bool HoldsControl(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f)
            return true;
    return false;
}

bool Reserved(const std::string& part) { return part.rfind(kUpdaterFilePrefix, 0) == 0; }

} // namespace

const char* ModuleNameProblem(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return "file name not allowed";
    if (name.find_first_of("/\\") != std::string::npos || HoldsControl(name))
        return "file name holds a path separator or a control character";
    if (name.find('|') != std::string::npos)
        return "file name holds \"|\"";
    if (Reserved(name))
        return "file name reserved for the updater";
    return nullptr;
}

const char* ModuleDirProblem(const std::string& dir) {
    if (HoldsControl(dir))
        return "directory holds a control character";
    if (dir.find('|') != std::string::npos)
        return "directory holds \"|\"";
    if (!dir.empty() && dir[0] == '/')
        return "directory is absolute";
    int depth = 0;
    std::istringstream parts(dir);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty() || part == ".")
            continue;
        if (Reserved(part))
            return "directory reserved for the updater";
        depth += part == ".." ? -1 : 1;
        if (depth < 0)
            return "directory leads out of the working directory";
    }
    return nullptr;
}

std::string PercentEncodeSegment(const std::string& segment) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : segment) {
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}
