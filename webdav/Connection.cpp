#include "webdav/Connection.h"

#include "webdav/Request.h"

namespace WebDAV {

namespace {
std::string value(const dict_t& options, const char* key) {
    const auto found = options.find(key);
    return found == options.end() ? std::string() : found->second;
}
} // namespace

Connection Connection::From(const dict_t& options) {
    Connection read;
    read.hostname = value(options, "webdav_hostname");
    read.root = value(options, "webdav_root");
    read.login = value(options, "webdav_login");
    read.password = value(options, "webdav_password");
    read.proxyHostname = value(options, "proxy_hostname");
    read.proxyLogin = value(options, "proxy_login");
    read.proxyPassword = value(options, "proxy_password");
    read.certPath = value(options, "cert_path");
    read.keyPath = value(options, "key_path");
    // The certificate check is off unless "ssl_verify" is "1".
    read.tls.verify = value(options, "ssl_verify") == "1";
    read.tls.caFile = value(options, "ca_file");
    read.tls.pinnedPublicKey = value(options, "pinned_public_key");
    return read;
}

bool Connection::cert_required() const {
    return !certPath.empty() && FileInfo::exists(certPath) && !keyPath.empty() &&
           FileInfo::exists(keyPath);
}

bool Connection::proxy_enabled() const {
    return !proxyHostname.empty() && (!proxyLogin.empty() || proxyPassword.empty());
}

} // namespace WebDAV
