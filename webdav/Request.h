#pragma once
// One transfer: an easy handle with the connection settings every request
// carries, a header list, and two local-file helpers.

#include <curl/curl.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "webdav/Connection.h"
#include "webdav/Types.h"

namespace WebDAV {

class Request {
public:
    // Creates the easy handle and applies the settings of `connection` and
    // the limits `bounds` for a transfer of `kind`; `perform` reports how it
    // ended to `outcome` when given.
    explicit Request(const Connection& connection, const Limits& bounds = Limits(),
                     TransferPolicy::Kind kind = TransferPolicy::Kind::Document,
                     Outcome* outcome = nullptr);
    ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // False without a handle; otherwise true exactly when libcurl accepts the setting.
    template <typename T>
    bool set(CURLoption option, T value) const {
        return easy && curl_easy_setopt(easy.get(), option, value) == CURLE_OK;
    }
    // The answer's body goes into `answer`, at most the limits' answerBytes;
    // more aborts the transfer.
    void receive(std::vector<char>& answer);
    // The body goes to `write` with `sink`, at most the limits' downloadBytes
    // (answerBytes for a document).
    void receive(curl_write_callback write, void* sink);
    // Hands libcurl's transfer information to `progress` (kept by the caller
    // while the request lives); a non-zero return aborts the transfer.
    void watch(const progress_t& progress);
    // Runs the transfer: true exactly when it completed with an HTTP status 200-299.
    bool perform() const;

    // The easy handle, for quoting paths into this request's URL.
    void* handle() const { return easy.get(); }

    // Where a body goes, and how much of it may still come.
    struct Receiver {
        curl_write_callback write = nullptr;
        void* sink = nullptr;
        TransferPolicy::Sink bound{0};
    };
    // The watch over a file transfer's time, and the caller's progress function.
    struct Watch {
        TransferPolicy::Deadline deadline;
        const progress_t* progress = nullptr;
    };

private:
    Limits limits;
    Outcome* report;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy;
    Receiver receiver;
    Watch transferWatch;
    char error[CURL_ERROR_SIZE] = {};
};

// A libcurl header list, freed with its owner.
class Header {
public:
    Header(std::initializer_list<std::string> lines);
    ~Header();
    Header(const Header&) = delete;
    Header& operator=(const Header&) = delete;

    void append(const std::string& line);
    curl_slist* handle() const { return list; }

private:
    curl_slist* list = nullptr;
};

namespace FileInfo {
// The local file can be opened for reading.
bool exists(const std::string& path);
// The local file's length in bytes; -1 when it cannot be opened.
long long size(const std::string& path);
} // namespace FileInfo

} // namespace WebDAV
