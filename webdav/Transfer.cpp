// The client's uploads (PUT) and downloads (GET).

#include "webdav/ClientImpl.h"

#include <boost/filesystem/operations.hpp>

#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "webdav/Callback.h"
#include "webdav/Request.h"

namespace WebDAV {

namespace {

// PUT of `size` bytes that `read` takes from `source`.
bool put(const ClientImpl& client, const std::string& remote, curl_read_callback read, void* source,
         curl_off_t size, const progress_t& progress) {
    Request request(client.options(), client.limits(), TransferPolicy::Kind::File, client.report());
    std::vector<char> response;
    request.set(CURLOPT_UPLOAD, 1L);
    request.set(CURLOPT_URL, client.url(request, client.resource(remote)).c_str());
    request.set(CURLOPT_READFUNCTION, read);
    request.set(CURLOPT_READDATA, source);
    request.set(CURLOPT_INFILESIZE_LARGE, size);
    request.set(CURLOPT_BUFFERSIZE, 1000000L);
    request.receive(response);
    request.watch(progress);
    return request.perform();
}

// GET of a resource that answers a PROPFIND; `write` takes the body into `sink`.
bool get(const Client& client, const std::string& remote, curl_write_callback write, void* sink,
         const progress_t& progress) {
    if (!client.check(remote))
        return false;
    const ClientImpl& settings = impl(client);
    Request request(settings.options(), settings.limits(), TransferPolicy::Kind::File,
                    settings.report());
    request.set(CURLOPT_CUSTOMREQUEST, "GET");
    request.set(CURLOPT_URL, settings.url(request, settings.resource(remote)).c_str());
    request.set(CURLOPT_HEADER, 0L);
    request.receive(write, sink);
    request.watch(progress);
    return request.perform();
}

} // namespace

bool Client::upload_from(const std::string& remote, std::istream& stream,
                         progress_t progress) const {
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    stream.seekg(0, std::ios::beg);
    if (!stream || size < 0)
        return false;
    return put(impl(*this), remote, &Callback::Read::stream, &stream, size, progress);
}

bool Client::upload_from(const std::string& remote, const char* buffer, unsigned long long size,
                         progress_t progress) const {
    Data source{buffer, 0, static_cast<std::size_t>(size)};
    return put(impl(*this), remote, &Callback::Read::buffer, &source, static_cast<curl_off_t>(size),
               progress);
}

bool Client::upload(const std::string& remote, const std::string& local,
                    progress_t progress) const {
    if (!FileInfo::exists(local))
        return false;
    std::ifstream file(local, std::ios::binary);
    return upload_from(remote, file, progress);
}

void Client::async_upload(const std::string& remote, const std::string& local, callback_t callback,
                          progress_t progress) const {
    std::thread([self = impl(*this), remote, local, callback, progress] {
        const bool done = self.upload(remote, local, progress);
        if (callback)
            callback(done);
    }).detach();
}

bool Client::download(const std::string& remote, const std::string& local,
                      progress_t progress) const {
    bool done = false;
    {
        std::ofstream file(local, std::ios::binary | std::ios::trunc);
        if (!file)
            return false;
        done = get(*this, remote, &Callback::Write::stream, &file, progress);
        file.close();
        done = done && file;
    }
    if (!done) {
        boost::system::error_code ignored;
        boost::filesystem::remove(local, ignored);
    }
    return done;
}

bool Client::download_to(const std::string& remote, char*& buffer, unsigned long long& size,
                         progress_t progress) const {
    std::vector<char> body;
    if (!get(*this, remote, &Callback::Append::buffer, &body, progress))
        return false;
    buffer = new char[body.size()];
    std::memcpy(buffer, body.data(), body.size());
    size = body.size();
    return true;
}

bool Client::download_to(const std::string& remote, std::ostream& stream,
                         progress_t progress) const {
    return get(*this, remote, &Callback::Write::stream, &stream, progress);
}

void Client::async_download(const std::string& remote, const std::string& local,
                            callback_t callback, progress_t progress) const {
    std::thread([self = impl(*this), remote, local, callback, progress] {
        const bool done = self.download(remote, local, progress);
        if (callback)
            callback(done);
    }).detach();
}

} // namespace WebDAV
