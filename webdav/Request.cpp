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

Request::Request(const Connection& connection, const Limits& bounds, TransferPolicy::Kind kind,
                 Outcome* outcome)
    : limits(bounds), report(outcome),
      easy(curl_easy_init(), &curl_easy_cleanup), transferWatch{{bounds.bounds, kind}, nullptr} {
    if (!easy)
        return;
    // The bounds, the User-Agent and the certificate check.
    TransferPolicy::Apply(easy.get(), bounds.bounds, kind,
                          kind == TransferPolicy::Kind::File ? bounds.downloadBytes
                                                             : bounds.answerBytes,
                          connection.tls, kProduct);
    set(CURLOPT_ERRORBUFFER, error);
    set(CURLOPT_VERBOSE, 0L);
    if (connection.cert_required()) {
        set(CURLOPT_SSLCERTTYPE, "PEM");
        set(CURLOPT_SSLKEYTYPE, "PEM");
        set(CURLOPT_SSLCERT, connection.certPath.c_str());
        set(CURLOPT_SSLKEY, connection.keyPath.c_str());
    }
    set(CURLOPT_URL, connection.hostname.c_str());
    set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    set(CURLOPT_USERPWD, (connection.login + ":" + connection.password).c_str());
    if (connection.proxy_enabled()) {
        set(CURLOPT_PROXY, connection.proxyHostname.c_str());
        set(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        const std::string& login = connection.proxyLogin;
        const std::string& password = connection.proxyPassword;
        if (!login.empty() && !password.empty())
            set(CURLOPT_PROXYUSERPWD, (login + ":" + password).c_str());
        else if (!login.empty())
            set(CURLOPT_PROXYUSERNAME, login.c_str());
    }
    // A file transfer's total time depends on the bytes that moved: watched
    // about once a second, also while nothing moves.
    if (kind == TransferPolicy::Kind::File) {
        set(CURLOPT_XFERINFOFUNCTION, &watch_transfer);
        set(CURLOPT_XFERINFODATA, &transferWatch);
        set(CURLOPT_NOPROGRESS, 0L);
    }
    // Without a receiver the answer is read and dropped, still within its cap.
    receive(&Callback::Discard::bytes, nullptr);
}

Request::~Request() = default;

void Request::receive(std::vector<char>& answer) {
    receive(&Callback::Append::buffer, &answer);
    receiver.bound.cap = limits.answerBytes;
}

void Request::receive(curl_write_callback write, void* sink) {
    receiver.write = write;
    receiver.sink = sink;
    receiver.bound = TransferPolicy::Sink{transferWatch.deadline.IsFile() ? limits.downloadBytes
                                                                          : limits.answerBytes};
    set(CURLOPT_WRITEFUNCTION, &bounded_write);
    set(CURLOPT_WRITEDATA, &receiver);
}

void Request::watch(const progress_t& progress) {
    transferWatch.progress = &progress;
    if (!progress)
        return;
    // A document's transfer information goes to the caller too.
    set(CURLOPT_XFERINFOFUNCTION, &watch_transfer);
    set(CURLOPT_XFERINFODATA, &transferWatch);
    set(CURLOPT_NOPROGRESS, 0L);
}

bool Request::perform() const {
    if (!easy)
        return false;
    const CURLcode code = curl_easy_perform(easy.get());
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (report) {
        report->code = code;
        report->status = status;
        report->reason = code == CURLE_OK ? std::string()
                         : error[0]       ? std::string(error)
                                          : std::string(curl_easy_strerror(code));
    }
    return code == CURLE_OK && status >= 200 && status <= 299;
}

Header::Header(std::initializer_list<std::string> lines) {
    for (const std::string& line : lines)
        append(line);
}

Header::~Header() { curl_slist_free_all(list); }

void Header::append(const std::string& line) {
    if (curl_slist* longer = curl_slist_append(list, line.c_str()))
        list = longer;
}

bool FileInfo::exists(const std::string& path) { return std::ifstream(path).is_open(); }

long long FileInfo::size(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    return file ? static_cast<long long>(file.tellg()) : -1;
}

} // namespace WebDAV
