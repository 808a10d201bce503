#pragma once
// The client's state: the connection options and the transfer bounds.

#include <string>

#include "webdav/Client.h"
#include "webdav/Urn.h"

namespace WebDAV {

class Request;

class ClientImpl : public Client {
    friend class Client;
public:
    ClientImpl(const dict_t& options, const Limits& limits);

    // libcurl's global set-up (counted by libcurl; run by every constructor).
    void init() const;
    // All option keys with this client's values.
    dict_t options() const;
    const Limits& limits() const { return m_limits; }
    // Where each request of this client reports how it ended.
    Outcome* report() const { return &m_outcome; }

    // A path relative to the root, as a path on the server.
    Urn resource(const std::string& path) const;
    // The request URL of a path on the server.
    std::string url(const Request& request, const Urn& resource) const;

private:
    std::string webdav_hostname;
    std::string webdav_root;
    std::string webdav_login;
    std::string webdav_password;
    std::string proxy_hostname;
    std::string proxy_login;
    std::string proxy_password;
    std::string cert_path;
    std::string key_path;
    std::string ssl_verify;
    std::string ca_file;
    std::string pinned_public_key;
    Limits m_limits;
    mutable Outcome m_outcome;
};

// Every operation of `Client` works on its `ClientImpl`, the only class derived from it.
inline const ClientImpl& impl(const Client& client) {
    return static_cast<const ClientImpl&>(client);
}

} // namespace WebDAV
