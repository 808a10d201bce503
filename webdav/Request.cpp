#include "webdav/Request.h"

#include <fstream>

#include "webdav/Callback.h"

namespace WebDAV {

namespace {

const char* const kProduct = "KX_InventoryAGT";

// Every body passes here on its way to its receiver, which takes it only
// while it stays within its cap.
std::size_t bounded_write(char* data, std::size_t size, std::size_t count, void* receiver) {
    auto& to = *static_cast<Request::Receiver*>(receiver);
    if (!to.bound.Take(static_cast<std::uint64_t>(size) * count))
        return 0;
    return to.write(data, size, count, to.sink);
}

int watch_transfer(void* watch, curl_off_t download_total, curl_off_t download_now,
                   curl_off_t upload_total, curl_off_t upload_now) {
    const auto& state = *static_cast<const Request::Watch*>(watch);
    if (state.deadline.Passed(static_cast<std::uint64_t>(download_now > 0 ? download_now : 0) +
                              static_cast<std::uint64_t>(upload_now > 0 ? upload_now : 0)))
        return 1;
    if (state.progress && *state.progress)
        return (*state.progress)(nullptr, static_cast<unsigned long>(download_total),
                                 static_cast<unsigned long>(download_now),
                                 static_cast<unsigned long>(upload_total),
                                 static_cast<unsigned long>(upload_now));
    return 0;
}

} // namespace

Request::Request(dict_t&& options, const Limits& limits, TransferPolicy::Kind kind, Outcome* report)
    : m_options(std::move(options)), m_limits(limits), m_report(report),
      m_handle(curl_easy_init(), &curl_easy_cleanup), m_watch{{limits.bounds, kind}, nullptr} {
    if (!m_handle)
        return;
    // The bounds, the User-Agent and the certificate check (off unless
    // "ssl_verify" is "1").
    TransferPolicy::Tls tls;
    tls.verify = option("ssl_verify") == "1";
    tls.caFile = option("ca_file");
    tls.pinnedPublicKey = option("pinned_public_key");
    TransferPolicy::Apply(m_handle.get(), limits.bounds, kind,
                          kind == TransferPolicy::Kind::File ? limits.download_bytes
                                                             : limits.answer_bytes,
                          tls, kProduct);
    set(CURLOPT_ERRORBUFFER, m_error);
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
    // A file transfer's total time depends on the bytes that moved: watched
    // about once a second, also while nothing moves.
    if (kind == TransferPolicy::Kind::File) {
        set(CURLOPT_XFERINFOFUNCTION, &watch_transfer);
        set(CURLOPT_XFERINFODATA, &m_watch);
        set(CURLOPT_NOPROGRESS, 0L);
    }
    // Without a receiver the answer is read and dropped, still within its cap.
    receive(&Callback::Discard::bytes, nullptr);
}

Request::~Request() = default;

void Request::receive(std::vector<char>& answer) {
    receive(&Callback::Append::buffer, &answer);
    m_receiver.bound.cap = m_limits.answer_bytes;
}

void Request::receive(curl_write_callback write, void* sink) {
    m_receiver.write = write;
    m_receiver.sink = sink;
    m_receiver.bound = TransferPolicy::Sink{m_watch.deadline.IsFile() ? m_limits.download_bytes
                                                                      : m_limits.answer_bytes};
    set(CURLOPT_WRITEFUNCTION, &bounded_write);
    set(CURLOPT_WRITEDATA, &m_receiver);
}

void Request::watch(const progress_t& progress) {
    m_watch.progress = &progress;
    if (!progress)
        return;
    // A document's transfer information goes to the caller too.
    set(CURLOPT_XFERINFOFUNCTION, &watch_transfer);
    set(CURLOPT_XFERINFODATA, &m_watch);
    set(CURLOPT_NOPROGRESS, 0L);
}

bool Request::perform() const {
    if (!m_handle)
        return false;
    const CURLcode code = curl_easy_perform(m_handle.get());
    long status = 0;
    curl_easy_getinfo(m_handle.get(), CURLINFO_RESPONSE_CODE, &status);
    if (m_report) {
        m_report->code = code;
        m_report->status = status;
        m_report->reason = code == CURLE_OK ? std::string()
                           : m_error[0]     ? std::string(m_error)
                                            : std::string(curl_easy_strerror(code));
    }
    return code == CURLE_OK && status >= 200 && status <= 299;
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
