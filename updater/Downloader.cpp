#include "Downloader.h"

#include <cstdio>
#include <memory>

#include <curl/curl.h>

#include "Hash.h"

namespace {

const long connectTimeoutSeconds = 30;
const long stallBytesPerSecond = 1;
const long stallSeconds = 60;
const long receiveBufferBytes = 512 * 1024;

struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using Easy = std::unique_ptr<CURL, EasyCleanup>;

struct MimeCleanup {
    void operator()(curl_mime* form) const { curl_mime_free(form); }
};

struct FileClose {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Where a GET into a file delivers its bytes: the file, and the running
// digest when the caller asked for one.
struct FileSink {
    FILE* file;
    Md5* md5;
};

// The options every transfer shares: the URL, the port, no certificate
// check, and the bounds on connecting and on a stalled transfer.
void SetCommonOptions(CURL* handle, const std::string& url, unsigned port) {
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_PORT, static_cast<long>(port));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, stallBytesPerSecond);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stallSeconds);
}

int ResponseCode(CURL* handle) {
    long code = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
    return static_cast<int>(code);
}

} // namespace

Downloader::Downloader(std::string server, unsigned port, bool ssl)
    : error(0), responseCode(0), server(std::move(server)), port(port), ssl(ssl) {}

std::string Downloader::Url(const std::string& path) const {
    return std::string(ssl ? "https" : "http") + "://" + server + path;
}

size_t Downloader::string_writer(char* data, size_t size, size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

size_t Downloader::file_writer(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file));
}

namespace {

size_t DigestingFileWriter(char* data, size_t size, size_t count, void* sink) {
    FileSink* target = static_cast<FileSink*>(sink);
    size_t written = Downloader::file_writer(data, size, count, target->file);
    if (target->md5)
        target->md5->Update(data, written * size);
    return written;
}

} // namespace

bool Downloader::Download(const std::string& path, std::string& text) {
    Easy handle(curl_easy_init());
    if (!handle)
        return false;
    SetCommonOptions(handle.get(), Url(path), port);
    curl_easy_setopt(handle.get(), CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &text);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, string_writer);
    error = curl_easy_perform(handle.get());
    responseCode = ResponseCode(handle.get());
    return error == CURLE_OK;
}

bool Downloader::DownloadtoFile(const std::string& path, const std::string& localFile,
                                std::string* digest) {
    std::unique_ptr<FILE, FileClose> file(std::fopen(localFile.c_str(), "wb"));
    if (!file) {
        error = CURLE_WRITE_ERROR; // no request is sent
        return false;
    }
    Easy handle(curl_easy_init());
    if (!handle)
        return false;
    Md5 md5;
    FileSink sink{file.get(), digest ? &md5 : nullptr};
    SetCommonOptions(handle.get(), Url(path), port);
    curl_easy_setopt(handle.get(), CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_BUFFERSIZE, receiveBufferBytes);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, DigestingFileWriter);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &sink);
    error = curl_easy_perform(handle.get());
    responseCode = ResponseCode(handle.get());
    // Bytes still buffered must reach the file before the transfer counts.
    if (std::fclose(file.release()) != 0 && error == CURLE_OK)
        error = CURLE_WRITE_ERROR;
    if (error != CURLE_OK)
        return false;
    if (digest)
        md5.Finish(*digest);
    return true;
}

bool Downloader::Upload(const std::string& localFile, const std::string& path, std::string&) {
    Easy handle(curl_easy_init());
    if (!handle)
        return false;
    std::unique_ptr<curl_mime, MimeCleanup> form(curl_mime_init(handle.get()));
    curl_mimepart* part = curl_mime_addpart(form.get());
    curl_mime_name(part, "impfile");
    curl_mime_filedata(part, localFile.c_str());
    part = curl_mime_addpart(form.get());
    curl_mime_name(part, "filename");
    curl_mime_data(part, "upload.bin", CURL_ZERO_TERMINATED);
    part = curl_mime_addpart(form.get());
    curl_mime_name(part, "submit");
    curl_mime_data(part, "send", CURL_ZERO_TERMINATED);

    SetCommonOptions(handle.get(), Url(path), port);
    curl_easy_setopt(handle.get(), CURLOPT_MIMEPOST, form.get());
    CURLcode result = curl_easy_perform(handle.get());
    error = result;
    if (result != CURLE_OK)
        std::fprintf(stderr, "curl_easy_perform() failed: %s\n", curl_easy_strerror(result));
    return true;
}
