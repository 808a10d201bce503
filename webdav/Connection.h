#pragma once
// The connection options in their typed form: read once from the options map
// when the client is made, then handed to every request as they are.

#include <string>

#include "common/TransferPolicy.h"
#include "webdav/Types.h"

namespace WebDAV {

struct Connection {
    // "webdav_hostname": scheme, host and optional port; every request URL
    // is this followed by a quoted path.
    std::string hostname;
    // "webdav_root": the directory every operation's path is relative to.
    std::string root;
    // "webdav_login", "webdav_password": HTTP Basic.
    std::string login;
    std::string password;
    // "proxy_hostname", "proxy_login", "proxy_password".
    std::string proxyHostname;
    std::string proxyLogin;
    std::string proxyPassword;
    // "cert_path", "key_path": a client certificate and its key (PEM).
    std::string certPath;
    std::string keyPath;
    // "ssl_verify" ("1": check the server's certificate and host name),
    // "ca_file" and "pinned_public_key".
    TransferPolicy::Tls tls;

    // The values of `options`; an absent key counts as "".
    static Connection From(const dict_t& options);

    // A client certificate and its key are both named and both exist.
    bool cert_required() const;
    // A proxy host is named, and a proxy login too unless there is no proxy password.
    bool proxy_enabled() const;
};

} // namespace WebDAV
