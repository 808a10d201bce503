#include "updater/Downloader.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include <curl/curl.h>

#include "updater/Hash.h"
#include "common/LogText.h"

namespace {

const char* const product = "KX_Updater";
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

std::mutex settingsLock;
Downloader::Settings processSettings;

// A body kept in memory, within its cap.
struct TextSink {
    std::string* text;
    TransferPolicy::Sink bound;
};

// Where a GET into a file delivers its bytes: the file, the running digest
// when the caller asked for one, the caller's observer, within the cap.
struct FileSink {
    FILE* file;
    Md5* md5;
    const Downloader::Observer* observer;
    TransferPolicy::Sink bound;
};

size_t BoundedTextWriter(char* data, size_t size, size_t count, void* sink) {
    TextSink* target = static_cast<TextSink*>(sink);
    if (!target->bound.Take(static_cast<std::uint64_t>(size) * count))
        return 0;
    return Downloader::string_writer(data, size, count, target->text);
}

size_t BoundedFileWriter(char* data, size_t size, size_t count, void* sink) {
    FileSink* target = static_cast<FileSink*>(sink);
    if (!target->bound.Take(static_cast<std::uint64_t>(size) * count))
        return 0;
    if (target->observer && *target->observer && !(*target->observer)(data, size * count))
        return 0;
    size_t written = Downloader::file_writer(data, size, count, target->file);
    if (target->md5)
        target->md5->Update(data, written * size);
    return written;
}

int WatchFile(void* deadline, curl_off_t downloadTotal, curl_off_t downloadNow,
              curl_off_t uploadTotal, curl_off_t uploadNow) {
    return TransferPolicy::CheckDeadline(deadline, downloadTotal, downloadNow, uploadTotal,
                                         uploadNow);
}

// The options every transfer shares: the URL, the port, a failure for a
// status of 400 or more, the bounds, the TLS settings and the User-Agent.
void SetCommonOptions(CURL* handle, const std::string& url, unsigned port,
                      const Downloader::Settings& settings, TransferPolicy::Kind kind,
                      std::uint64_t maxBytes, char* errorText) {
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PORT, static_cast<long>(port));
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    TransferPolicy::Apply(handle, TransferPolicy::Bounds::Current(), kind, maxBytes, settings.tls,
                          product);
}

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

} // namespace

void Downloader::Configure(const Settings& settings) {
    std::lock_guard<std::mutex> hold(settingsLock);
    processSettings = settings;
}

Downloader::Settings Downloader::Current() {
    std::lock_guard<std::mutex> hold(settingsLock);
    return processSettings;
}

Downloader::Downloader(std::string host, unsigned serverPort, bool useTls)
    : error(0), responseCode(0), server(std::move(host)), port(serverPort), ssl(useTls),
      settings(Current()) {}

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

bool Downloader::Perform(void* handle, const char* errorText) {
    CURLcode result = curl_easy_perform(static_cast<CURL*>(handle));
    error = result;
    long code = 0;
    curl_easy_getinfo(static_cast<CURL*>(handle), CURLINFO_RESPONSE_CODE, &code);
    responseCode = static_cast<int>(code);
    if (result == CURLE_OK)
        reason.clear();
    else
        reason = LogText::OneLine(errorText[0] ? errorText : curl_easy_strerror(result));
    return result == CURLE_OK;
}

bool Downloader::Download(const std::string& path, std::string& text, std::uint64_t maxBytes) {
    Easy handle(curl_easy_init());
    if (!handle)
        return false;
    char errorText[CURL_ERROR_SIZE] = {};
    std::string body;
    TextSink sink{&body, {maxBytes}};
    SetCommonOptions(handle.get(), Url(path), port, settings, TransferPolicy::Kind::Document,
                     maxBytes, errorText);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, BoundedTextWriter);
    if (!Perform(handle.get(), errorText))
        return false;
    text += body;
    return true;
}

bool Downloader::DownloadtoFile(const std::string& path, const std::string& localFile,
                                std::string* digest, Fetch fetch, const Observer& observer) {
    std::unique_ptr<FILE, FileClose> file(std::fopen(localFile.c_str(), "wb"));
    if (!file) {
        error = CURLE_WRITE_ERROR; // no request is sent
        reason = "cannot create " + LogText::OneLine(localFile);
        return false;
    }
    Easy handle(curl_easy_init());
    if (!handle) {
        file.reset();
        RemoveFile(localFile);
        return false;
    }
    const bool list = fetch == Fetch::List;
    const std::uint64_t maxBytes = list ? TransferPolicy::kListBytes : settings.maxFileBytes;
    const TransferPolicy::Kind kind =
        list ? TransferPolicy::Kind::Document : TransferPolicy::Kind::File;
    char errorText[CURL_ERROR_SIZE] = {};
    Md5 md5;
    FileSink sink{file.get(), digest ? &md5 : nullptr, &observer, {maxBytes}};
    TransferPolicy::Deadline deadline(TransferPolicy::Bounds::Current(), kind);
    SetCommonOptions(handle.get(), Url(path), port, settings, kind, maxBytes, errorText);
    curl_easy_setopt(handle.get(), CURLOPT_BUFFERSIZE, receiveBufferBytes);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, BoundedFileWriter);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &sink);
    if (kind == TransferPolicy::Kind::File) {
        curl_easy_setopt(handle.get(), CURLOPT_XFERINFOFUNCTION, WatchFile);
        curl_easy_setopt(handle.get(), CURLOPT_XFERINFODATA, &deadline);
        curl_easy_setopt(handle.get(), CURLOPT_NOPROGRESS, 0L);
    }
    bool done = Perform(handle.get(), errorText);
    // Bytes still buffered must reach the file before the transfer counts.
    if (std::fclose(file.release()) != 0 && done) {
        error = CURLE_WRITE_ERROR;
        reason = "cannot write " + LogText::OneLine(localFile);
        done = false;
    }
    if (!done) {
        RemoveFile(localFile);
        return false;
    }
    if (digest)
        md5.Finish(*digest);
    return true;
}

bool Downloader::Upload(const std::string& localFile, const std::string& path,
                        std::string& response) {
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

    char errorText[CURL_ERROR_SIZE] = {};
    std::string body;
    TextSink sink{&body, {TransferPolicy::kDocumentBytes}};
    SetCommonOptions(handle.get(), Url(path), port, settings, TransferPolicy::Kind::Document,
                     TransferPolicy::kDocumentBytes, errorText);
    curl_easy_setopt(handle.get(), CURLOPT_MIMEPOST, form.get());
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, BoundedTextWriter);
    if (!Perform(handle.get(), errorText))
        return false;
    response = body;
    return true;
}
