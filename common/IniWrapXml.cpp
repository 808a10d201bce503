#include "IniWrapXml.h"

#include <cstdlib>

#include <pugixml.hpp>

namespace {

// The key element under document → first child → section, or an empty node.
pugi::xml_node findKey(const pugi::xml_document& doc, const char* section, const char* key) {
    pugi::xml_node root = doc.first_child();
    if (!root)
        return {};
    return root.child(section).child(key);
}

} // namespace

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
