#include "common/IniWrapXml.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <pugixml.hpp>

namespace {

// The key element under document → first child → section, or an empty node.
pugi::xml_node findKey(const pugi::xml_document& doc, const char* section, const char* key) {
    pugi::xml_node root = doc.first_child();
    if (!root)
        return {};
    return root.child(section).child(key);
}

// Line and column (both from 1) of the byte at `offset`.
std::string Position(const std::string& text, std::ptrdiff_t offset) {
    std::size_t end = offset < 0 ? 0 : std::min(text.size(), static_cast<std::size_t>(offset));
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The whole file; false with the system's reason when it cannot be read.
bool ReadWhole(const char* fileName, std::string& content, std::string& reason) {
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) {
        reason = std::strerror(errno);
        return false;
    }
    char buffer[8192];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    bool failed = std::ferror(file) != 0;
    int code = errno;
    std::fclose(file);
    if (failed) {
        reason = std::strerror(code);
        return false;
    }
    return true;
}

} // namespace

std::vector<std::string> IniWrapXml::Check(const char* fileName, const Layout& known) {
    struct stat info;
    if (::stat(fileName, &info) != 0 && errno == ENOENT)
        return {};
    const std::string name = fileName;
    std::string content, reason;
    if (!ReadWhole(fileName, content, reason))
        return {name + ": cannot be read (" + reason + "); every value keeps its default"};
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(content.data(), content.size());
    if (!parsed)
        return {name + ": not read as XML (" + parsed.description() + " at " +
                Position(content, parsed.offset) + "); every value keeps its default"};

    std::vector<std::string> problems;
    std::set<std::string> reported;
    for (pugi::xml_node section : doc.first_child().children()) {
        if (section.type() != pugi::node_element)
            continue;
        auto found = known.find(section.name());
        if (found == known.end()) {
            if (reported.insert(section.name()).second)
                problems.push_back(name + ": unknown section <" + section.name() + "> ignored");
            continue;
        }
        for (pugi::xml_node key : section.children()) {
            if (key.type() != pugi::node_element || found->second.count(key.name()))
                continue;
            std::string where = std::string(section.name()) + "/" + key.name();
            if (reported.insert(where).second)
                problems.push_back(name + ": unknown key <" + where + "> ignored");
        }
    }
    return problems;
}

void IniWrapXml::GetPrivateProfileString(const char* section, const char* key,
                                         const char* defaultValue, std::string& result,
                                         int /*size*/, const char* fileName) {
    result = defaultValue;
    pugi::xml_document doc;
    if (!doc.load_file(fileName))
        return;
    pugi::xml_node node = findKey(doc, section, key);
    if (!node)
        return;
    result = node.text().get();
}

int IniWrapXml::GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                                     const char* fileName) {
    pugi::xml_document doc;
    if (!doc.load_file(fileName))
        return defaultValue;
    pugi::xml_node node = findKey(doc, section, key);
    if (!node || !node.first_child())
        return defaultValue;
    return std::atoi(node.text().get());
}
