#pragma once
// The client's state: the connection options and the transfer bounds.

#include <string>

#include "webdav/Client.h"
#include "webdav/Connection.h"
#include "webdav/Urn.h"

namespace WebDAV {

class Request;

class ClientImpl : public Client {
    friend class Client;

public:
    ClientImpl(const dict_t& options, const Limits& limits);

    // libcurl's global set-up (counted by libcurl; run by every constructor).
    void init() const;
    // The connection options, as every request of this client applies them.
    const Connection& options() const { return connection; }
    const Limits& limits() const { return transferLimits; }
    // Where each request of this client reports how it ended.
    Outcome* report() const { return &lastOutcome; }

    // A path relative to the root, as a path on the server.
    Urn resource(const std::string& path) const;
    // The request URL of a path on the server.
    std::string url(const Request& request, const Urn& resource) const;

private:
    Connection connection;
    Limits transferLimits;
    mutable Outcome lastOutcome;
};

// Every operation of `Client` works on its `ClientImpl`, the only class derived from it.
inline const ClientImpl& impl(const Client& client) {
    return static_cast<const ClientImpl&>(client);
}

} // namespace WebDAV
