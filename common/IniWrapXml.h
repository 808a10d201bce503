#pragma once
// Classic INI lookups (section, key) over the XML files both programs keep
// their settings in: a root element whose child elements are the sections,
// whose child elements are the keys, whose text is the value.
//
//   <KX><Config><Server>inventory.example.com</Server><Port>8080</Port></Config></KX>
//
// Each call opens, parses and discards the whole file; there is no state.

#include <string>

class IniWrapXml {
public:
    // Sets `result` to the key's text, exactly as parsed (blanks stay), or to
    // `defaultValue` when the file, the section or the key cannot be found.
    // A key element without text gives the empty string. `size` is ignored.
    static void GetPrivateProfileString(const char* section, const char* key,
                                        const char* defaultValue, std::string& result,
                                        int size, const char* fileName);

    // The key's text converted as by atoi, or `defaultValue` when the file,
    // the section or the key cannot be found or the key element is empty.
    static int GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                                    const char* fileName);
};
