#pragma once
// Classic INI lookups (section, key) over the XML files both programs keep
// their settings in: a root element whose child elements are the sections,
// whose child elements are the keys, whose text is the value.
//
//   <KX><Config><Server>inventory.example.com</Server><Port>8080</Port></Config></KX>
//
// Each call opens, parses and discards the whole file; there is no state.

#include <map>
#include <set>
#include <string>
#include <vector>

class IniWrapXml {
public:
    // Sets `result` to the key's text, exactly as parsed (blanks stay), or to
    // `defaultValue` when the file, the section or the key cannot be found.
    // A key element without text gives the empty string. `size` is ignored.
    static void GetPrivateProfileString(const char* section, const char* key,
                                        const char* defaultValue, std::string& result, int size,
                                        const char* fileName);

    // The key's text converted as by atoi, or `defaultValue` when the file,
    // the section or the key cannot be found or the key element is empty.
    static int GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                                    const char* fileName);

    // The sections a settings file may hold, each with its key names.
    using Layout = std::map<std::string, std::set<std::string>>;

    // What an administrator must hear about a settings file, one log line
    // each, naming the file: that it exists but cannot be read, or cannot be
    // read as XML (the parser's reason and the line and column where it
    // stopped) so that every value keeps its default; otherwise one line for
    // each section and each key that `known` does not list (each name once).
    // Nothing when the file does not exist or holds only known names.
    static std::vector<std::string> Check(const char* fileName, const Layout& known);
};
