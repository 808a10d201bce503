#pragma once
// The updater's transfers with the update server over HTTP or HTTPS: a GET
// into a string, a GET into a file, and the multipart POST of the log. The
// URL is scheme + "://" + server + path, the path appended exactly as given;
// the port goes to libcurl separately.
//
// Every transfer creates and releases its own libcurl handle, carries
// "User-Agent: KX_Updater/<version>" and is bounded (see TransferPolicy.h):
// 30 s to connect, fewer than 1 KiB over 30 s is a stall, and a cap on what
// the answer may hold, checked as the bytes arrive. The digest text, the
// completion report, the log upload's answer and the list are documents
// (2 minutes each); a module file may take 2 minutes + 1 s per 16 KiB moved.
//
// A status of 400 or more is a failed transfer: `responseCode` keeps the
// status, nothing of the error page is kept. A failed GET into a file leaves
// no file behind.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "common/TransferPolicy.h"

class Downloader {
public:
    // What every Downloader of this process uses: the certificate check and
    // the largest module file accepted. Set by the updater from its settings
    // (config.ini "SSLVerify", "CAFile", "PinnedPublicKey"; update.ini
    // "MaxFileSize").
    struct Settings {
        TransferPolicy::Tls tls;
        std::uint64_t maxFileBytes = TransferPolicy::kDefaultFileBytes;
    };
    static void Configure(const Settings& settings);
    static Settings Current();

    // What a GET into a file fetches: the update list (a document of at most
    // 16 MiB) or a module file (at most Settings::maxFileBytes).
    enum class Fetch { List, Module };
    // Sees each piece of a file download as it arrives, before it is stored
    // (a second digest, a size check); returning false aborts the transfer,
    // which then fails and leaves no file.
    using Observer = std::function<bool(const char* data, std::size_t size)>;

    Downloader(std::string host, unsigned serverPort, bool useTls);

    // GET of at most `maxBytes`; on success the body is appended to `text`,
    // on failure `text` is unchanged.
    bool Download(const std::string& path, std::string& text,
                  std::uint64_t maxBytes = TransferPolicy::kDocumentBytes);
    // GET into `localFile` (created or truncated). When `digest` is given, it
    // receives the MD5 text of the bytes stored, computed as they arrive; when
    // `observer` is given it sees the same bytes.
    bool DownloadtoFile(const std::string& path, const std::string& localFile,
                        std::string* digest = nullptr, Fetch fetch = Fetch::Module,
                        const Observer& observer = nullptr);
    // Multipart POST of `localFile` as "impfile" with "filename"="upload.bin"
    // and "submit"="send". The server's answer (at most 1 MiB) goes to
    // `response`, never to the terminal. True when the transfer completed
    // with a status below 400.
    bool Upload(const std::string& localFile, const std::string& path, std::string& response);

    static size_t string_writer(char* data, size_t size, size_t count, void* text);
    static size_t file_writer(char* data, size_t size, size_t count, void* file);

    // libcurl's result code of the most recent transfer (0 when it completed).
    int error;
    // HTTP status of the most recent transfer (0: no answer).
    int responseCode;
    // libcurl's text for the most recent failure (why a certificate was
    // refused, …), one line; empty after a success.
    std::string reason;

private:
    std::string Url(const std::string& path) const;
    // Runs the prepared transfer and records how it ended.
    bool Perform(void* handle, const char* errorText);

    std::string server;
    unsigned port;
    bool ssl;
    Settings settings;
};
