#pragma once
// The value types shared by the client, its requests and its callers.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/TransferPolicy.h"

namespace WebDAV {

// Connection options: "webdav_hostname", "webdav_root", "webdav_login",
// "webdav_password", "proxy_hostname", "proxy_login", "proxy_password",
// "cert_path", "key_path", and for verified TLS "ssl_verify" ("1" turns the
// check of the server's certificate and host name on), "ca_file" (a PEM
// bundle; empty: the system's store) and "pinned_public_key" (libcurl's
// "sha256//…" form). An absent key counts as "". The client reads them once
// (see Connection.h).
using dict_t = std::map<std::string, std::string>;
using strings_t = std::vector<std::string>;

// libcurl's transfer information: user pointer, download total, download now,
// upload total, upload now. A non-zero return aborts the transfer.
using progress_t =
    std::function<int(void*, unsigned long, unsigned long, unsigned long, unsigned long)>;
// Called with an operation's result.
using callback_t = std::function<void(bool)>;

// Bounds of every transfer (see TransferPolicy.h): the times, the cap of an
// answer read into memory (PROPFIND, the answer to a PUT, …) and of a download.
struct Limits {
    TransferPolicy::Bounds bounds = TransferPolicy::Bounds::Current();
    std::uint64_t answerBytes = TransferPolicy::kDocumentBytes;
    std::uint64_t downloadBytes = TransferPolicy::kDefaultFileBytes;
};

// How the last transfer ended: libcurl's result code (0: completed), the
// HTTP status (0: none arrived) and libcurl's text for the failure (for
// instance why a certificate was refused), empty when it completed.
struct Outcome {
    int code = 0;
    long status = 0;
    std::string reason;
};

} // namespace WebDAV
