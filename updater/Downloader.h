#pragma once
// The updater's transfers with the update server over HTTP or HTTPS: a GET
// into a string, a GET into a file, and the multipart POST of the log. The
// URL is scheme + "://" + server + path, the path appended exactly as given;
// the port goes to libcurl separately. The server certificate is not verified.
//
// Every transfer creates and releases its own libcurl handle and is bounded:
// 30 s to connect, and it is abandoned when less than 1 byte per second moved
// over 60 s.

#include <cstddef>
#include <string>

class Downloader {
public:
    Downloader(std::string server, unsigned port, bool ssl);

    // GET; the body is appended to `text`. True when the transfer completed,
    // whatever the HTTP status (a 404 page that arrives whole is content).
    bool Download(const std::string& path, std::string& text);
    // GET into `localFile` (created or truncated). When `digest` is given, it
    // receives the MD5 text of the bytes stored, computed as they arrive.
    bool DownloadtoFile(const std::string& path, const std::string& localFile,
                        std::string* digest = nullptr);
    // Multipart POST of `localFile` as "impfile" with "filename"="upload.bin"
    // and "submit"="send". False only when no handle can be created; a failed
    // transfer is reported on standard error. `response` is not touched.
    bool Upload(const std::string& localFile, const std::string& path, std::string& response);

    static size_t string_writer(char* data, size_t size, size_t count, void* text);
    static size_t file_writer(char* data, size_t size, size_t count, void* file);

    // libcurl's result code of the most recent transfer (0 when it completed).
    int error;
    // HTTP status of the most recent Download/DownloadtoFile (0: no answer).
    int responseCode;

private:
    std::string Url(const std::string& path) const;

    std::string server;
    unsigned port;
    bool ssl;
};
