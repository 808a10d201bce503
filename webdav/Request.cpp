#include "Request.h"

#include <fstream>

namespace WebDAV {

Request::Request(dict_t&& options, const Limits& limits)
    : m_options(std::move(options)), m_handle(curl_easy_init(), &curl_easy_cleanup) {
    // The server's certificate and host name are never verified.
    set(CURLOPT_SSL_VERIFYHOST, 0L);
    set(CURLOPT_SSL_VERIFYPEER, 0L);
    set(CURLOPT_VERBOSE, 0L);
    if (cert_required()) {
        set(CURLOPT_SSLCERTTYPE, "PEM");
        set(CURLOPT_SSLKEYTYPE, "PEM");
        set(CURLOPT_SSLCERT, option("cert_path").c_str());
        set(CURLOPT_SSLKEY, option("key_path").c_str());
    }
    set(CURLOPT_URL, option("webdav_hostname").c_str());
    set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    set(CURLOPT_USERPWD, (option("webdav_login") + ":" + option("webdav_password")).c_str());
    if (proxy_enabled()) {
        set(CURLOPT_PROXY, option("proxy_hostname").c_str());
        set(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        const std::string login = option("proxy_login");
        const std::string password = option("proxy_password");
        if (!login.empty() && !password.empty())
            set(CURLOPT_PROXYUSERPWD, (login + ":" + password).c_str());
        else if (!login.empty())
            set(CURLOPT_PROXYUSERNAME, login.c_str());
    }
    // Bounded: no connection attempt and no stalled transfer waits for ever.
    set(CURLOPT_CONNECTTIMEOUT, limits.connect_seconds);
    set(CURLOPT_LOW_SPEED_LIMIT, 1L);
    set(CURLOPT_LOW_SPEED_TIME, limits.stall_seconds);
    set(CURLOPT_NOSIGNAL, 1L);
}

Request::~Request() = default;

bool Request::perform() const {
    if (!m_handle)
        return false;
    if (curl_easy_perform(m_handle.get()) != CURLE_OK)
        return false;
    long status = 0;
    curl_easy_getinfo(m_handle.get(), CURLINFO_RESPONSE_CODE, &status);
    return status >= 200 && status <= 299;
}

bool Request::cert_required() const {
    const std::string cert = option("cert_path");
    const std::string key = option("key_path");
    return !cert.empty() && FileInfo::exists(cert) && !key.empty() && FileInfo::exists(key);
}

bool Request::proxy_enabled() const {
    return !option("proxy_hostname").empty() &&
           (!option("proxy_login").empty() || option("proxy_password").empty());
}

std::string Request::option(const char* key) const {
    const auto found = m_options.find(key);
    return found == m_options.end() ? std::string() : found->second;
}

Header::Header(std::initializer_list<std::string> lines) {
    for (const std::string& line : lines)
        append(line);
}

Header::~Header() { curl_slist_free_all(m_list); }

void Header::append(const std::string& line) {
    if (curl_slist* longer = curl_slist_append(m_list, line.c_str()))
        m_list = longer;
}

bool FileInfo::exists(const std::string& path) {
    return std::ifstream(path).is_open();
}

long long FileInfo::size(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    return file ? static_cast<long long>(file.tellg()) : -1;
}

} // namespace WebDAV
