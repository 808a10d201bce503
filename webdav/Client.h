#pragma once
// The WebDAV client. Made by `Client::Init` from the connection options (see
// Types.h) and deleted by its owner. Every operation takes a path relative
// to "webdav_root", runs its own transfer(s) and reports failure — no
// connection, TLS failure, time-out, an answer over its cap, HTTP status
// outside 200-299 — as false, an empty list or map, or 0; `outcome` then
// tells the libcurl code, the status and the reason.
//
// Every transfer is bounded (see TransferPolicy.h): PROPFIND, MKCOL, MOVE,
// COPY and DELETE are documents (2 minutes, answers up to 1 MiB); PUT and GET
// are file transfers (2 minutes + 1 s per 16 KiB moved; the answer to a PUT
// up to 1 MiB, a download up to the limits' downloadBytes). Every request
// carries "User-Agent: KX_InventoryAGT/<version>".

#include <istream>
#include <ostream>
#include <string>

#include "webdav/Types.h"

namespace WebDAV {

class Client {
public:
    // A new client (the caller owns it); also runs libcurl's global set-up.
    // `limits` bound every transfer; the defaults are the program's.
    static Client* Init(const dict_t& options, const Limits& limits = Limits());
    // libcurl's global clean-up.
    static void Cleanup();

    virtual ~Client() = default;

    // The resource answers a PROPFIND ("Depth: 1") with 2xx.
    bool check(const std::string& path = "/") const;

    // PUT of what is left of the stream, measured beforehand; false without a
    // request when the stream cannot be measured (for instance a file that did not open).
    bool upload_from(const std::string& remote, std::istream& stream,
                     progress_t progress = nullptr) const;
    // PUT of `size` bytes from memory.
    bool upload_from(const std::string& remote, const char* buffer, unsigned long long size,
                     progress_t progress = nullptr) const;
    // PUT of a local file; false without a request when it cannot be read.
    bool upload(const std::string& remote, const std::string& local,
                progress_t progress = nullptr) const;
    // `upload` on a thread of its own; returns at once, the result goes to `callback`.
    void async_upload(const std::string& remote, const std::string& local,
                      callback_t callback = nullptr, progress_t progress = nullptr) const;

    // GET into a local file. False without a request when the file cannot be
    // created; a download that fails leaves no file behind.
    bool download(const std::string& remote, const std::string& local,
                  progress_t progress = nullptr) const;
    // GET into a new array (delete[] by the caller); untouched on failure.
    bool download_to(const std::string& remote, char*& buffer, unsigned long long& size,
                     progress_t progress = nullptr) const;
    // GET into a stream; a stream that fails aborts the transfer.
    bool download_to(const std::string& remote, std::ostream& stream,
                     progress_t progress = nullptr) const;
    // `download` on a thread of its own; returns at once, the result goes to `callback`.
    void async_download(const std::string& remote, const std::string& local,
                        callback_t callback = nullptr, progress_t progress = nullptr) const;

    // The entry names of a directory (sub-directories end in "/"); empty when
    // it is missing or not a directory.
    strings_t list(const std::string& path = "/") const;
    // "created", "name", "size", "modified", "type"; empty when the exchange fails.
    dict_t info(const std::string& path) const;
    bool is_dir(const std::string& path) const;
    // MKCOL unless the directory exists; `recursive` makes missing parents
    // first, up to the root.
    bool create_directory(const std::string& path, bool recursive = false) const;
    // MOVE / COPY of an existing resource to `target` under the same root.
    bool move(const std::string& source, const std::string& target) const;
    bool copy(const std::string& source, const std::string& target) const;
    // DELETE; true without a request when the resource does not exist.
    bool clean(const std::string& path) const;
    // The server's "quota-available-bytes"; 0 when it has none or the exchange fails.
    unsigned long long free_size() const;

    // How the last transfer of this client's synchronous operations ended
    // (an asynchronous operation works on a copy of the client).
    Outcome outcome() const;

protected:
    Client() = default;
    Client(const Client&) = default;
    Client& operator=(const Client&) = delete;
};

} // namespace WebDAV
