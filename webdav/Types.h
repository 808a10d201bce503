#pragma once
// The value types shared by the client, its requests and its callers.

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace WebDAV {

// Connection options: "webdav_hostname", "webdav_root", "webdav_login",
// "webdav_password", "proxy_hostname", "proxy_login", "proxy_password",
// "cert_path", "key_path". An absent key counts as "".
using dict_t = std::map<std::string, std::string>;
using strings_t = std::vector<std::string>;

// libcurl's transfer information: user pointer, download total, download now,
// upload total, upload now. A non-zero return aborts the transfer.
using progress_t = std::function<int(void*, unsigned long, unsigned long, unsigned long, unsigned long)>;
// Called with an operation's result.
using callback_t = std::function<void(bool)>;

// Bounds of every transfer, so that an unattended run never waits for ever:
// giving up a connection attempt after `connect_seconds`, and aborting a
// transfer that moved fewer than one byte a second over `stall_seconds`.
struct Limits {
    long connect_seconds = 30;
    long stall_seconds = 60;
};

} // namespace WebDAV
