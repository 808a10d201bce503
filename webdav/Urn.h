#pragma once
// Remote resource paths: a normalised path on the server, and the quoted form
// that goes into a request URL.

#include <string>
#include <vector>

namespace WebDAV {

// The non-empty runs of `text` between any of the `delimiters` characters.
std::vector<std::string> split(const std::string& text, const std::string& delimiters);

// `text` percent-encoded by libcurl: every byte but A-Z, a-z, 0-9, "-", ".",
// "_" and "~" becomes "%XX". `handle` is the easy handle of the request being built.
std::string escape(void* handle, const std::string& text);

// The reverse: every "%XX" decoded (a "+" stays a "+").
std::string unescape(void* handle, const std::string& text);

// A path on the server. Always non-empty, begins with "/", holds no "//";
// a path ending in "/" denotes a directory (collection), any other a file.
class Urn {
public:
    static const std::string separate;

    // Normalises `path`: "" becomes "/", a leading "/" is added, `directory`
    // adds a trailing "/", runs of "/" shrink to one.
    Urn(std::string path, bool directory);

    const std::string& path() const { return text; }
    bool is_root() const;
    bool is_directory() const;
    // Last segment; a directory keeps its trailing "/" ("b/" for "/a/b/"); "" for the root.
    std::string name() const;
    // Enclosing directory ("/a/" for "/a/b" and "/a/b/"); the root for the root.
    std::string parent() const;
    // A directory extended by the relative path `relative`; a file unchanged.
    Urn operator+(const std::string& relative) const;
    // The URL form: every segment escaped, the separators literal.
    std::string quote(void* handle) const;

private:
    std::string text;
};

} // namespace WebDAV
