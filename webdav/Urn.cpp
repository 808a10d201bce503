#include "webdav/Urn.h"

#include <curl/curl.h>

#include <memory>

namespace WebDAV {

const std::string Urn::separate = "/";

std::vector<std::string> split(const std::string& text, const std::string& delimiters) {
    std::vector<std::string> pieces;
    std::string::size_type start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        const std::string::size_type end = text.find_first_of(delimiters, start);
        pieces.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(delimiters, end);
    }
    return pieces;
}

namespace {
using CurlText = std::unique_ptr<char, decltype(&curl_free)>;
}

std::string escape(void* handle, const std::string& text) {
    CurlText escaped(curl_easy_escape(static_cast<CURL*>(handle), text.data(),
                                      static_cast<int>(text.size())),
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

Urn::Urn(std::string path, bool directory) : m_path(std::move(path)) {
    if (m_path.empty())
        m_path = separate;
    if (m_path.compare(0, separate.size(), separate) != 0)
        m_path.insert(0, separate);
    if (directory && m_path.back() != separate.back())
        m_path += separate;
    const std::string doubled = separate + separate;
    for (auto at = m_path.find(doubled); at != std::string::npos; at = m_path.find(doubled, at))
        m_path.erase(at, separate.size());
}

bool Urn::is_root() const { return m_path == separate; }

bool Urn::is_directory() const { return m_path.back() == separate.back(); }

std::string Urn::name() const {
    if (is_root())
        return std::string();
    const std::string::size_type last = m_path.size() - (is_directory() ? 2 : 1);
    return m_path.substr(m_path.rfind(separate, last) + 1);
}

std::string Urn::parent() const {
    if (is_root())
        return m_path;
    const std::string::size_type last = m_path.size() - (is_directory() ? 2 : 1);
    return m_path.substr(0, m_path.rfind(separate, last) + 1);
}

Urn Urn::operator+(const std::string& relative) const {
    if (!is_directory())
        return *this;
    return Urn(m_path + relative, false);
}

std::string Urn::quote(void* handle) const {
    if (is_root())
        return m_path;
    std::string quoted;
    for (const std::string& piece : split(m_path, separate))
        quoted += separate + escape(handle, piece);
    if (is_directory())
        quoted += separate;
    return quoted;
}

} // namespace WebDAV
