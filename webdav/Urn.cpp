#include "webdav/Urn.h"

#include <curl/curl.h>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/tokenizer.hpp>

#include <memory>

namespace WebDAV {

const std::string Urn::separate = "/";

std::vector<std::string> split(const std::string& text, const std::string& delimiters) {
    // Empty runs are dropped.
    const boost::char_separator<char> separators(delimiters.c_str());
    const boost::tokenizer<boost::char_separator<char>> pieces(text, separators);
    return std::vector<std::string>(pieces.begin(), pieces.end());
}

namespace {
using CurlText = std::unique_ptr<char, decltype(&curl_free)>;
}

std::string escape(void* handle, const std::string& text) {
    CurlText escaped(
        curl_easy_escape(static_cast<CURL*>(handle), text.data(), static_cast<int>(text.size())),
        &curl_free);
    return escaped ? std::string(escaped.get()) : std::string();
}

std::string unescape(void* handle, const std::string& text) {
    int length = 0;
    CurlText plain(curl_easy_unescape(static_cast<CURL*>(handle), text.data(),
                                      static_cast<int>(text.size()), &length),
                   &curl_free);
    return plain ? std::string(plain.get(), static_cast<std::string::size_type>(length))
                 : std::string();
}

Urn::Urn(std::string path, bool directory) : text(std::move(path)) {
    if (text.empty())
        text = separate;
    if (!boost::starts_with(text, separate))
        text.insert(0, separate);
    if (directory && text.back() != separate.back())
        text += separate;
    const std::string doubled = separate + separate;
    for (auto at = text.find(doubled); at != std::string::npos; at = text.find(doubled, at))
        text.erase(at, separate.size());
}

bool Urn::is_root() const { return text == separate; }

bool Urn::is_directory() const { return text.back() == separate.back(); }

std::string Urn::name() const {
    if (is_root())
        return std::string();
    const std::string::size_type last = text.size() - (is_directory() ? 2 : 1);
    return text.substr(text.rfind(separate, last) + 1);
}

std::string Urn::parent() const {
    if (is_root())
        return text;
    const std::string::size_type last = text.size() - (is_directory() ? 2 : 1);
    return text.substr(0, text.rfind(separate, last) + 1);
}

Urn Urn::operator+(const std::string& relative) const {
    if (!is_directory())
        return *this;
    return Urn(text + relative, false);
}

std::string Urn::quote(void* handle) const {
    if (is_root())
        return text;
    std::string quoted;
    for (const std::string& piece : split(text, separate))
        quoted += separate + escape(handle, piece);
    if (is_directory())
        quoted += separate;
    return quoted;
}

} // namespace WebDAV
