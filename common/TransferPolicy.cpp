#include "common/TransferPolicy.h"

#include <cstdio>
#include <cstdlib>

#include "common/Version.h"

namespace TransferPolicy {

Bounds Bounds::Current() {
    Bounds bounds;
    if (const char* hook = std::getenv("KX_TEST_TRANSFER_BOUNDS")) {
        long connect = 0, stall = 0, document = 0, fileBase = 0;
        if (std::sscanf(hook, "%ld,%ld,%ld,%ld", &connect, &stall, &document, &fileBase) == 4 &&
            connect > 0 && stall > 0 && document > 0 && fileBase > 0) {
            bounds.connectSeconds = connect;
            bounds.stallSeconds = stall;
            bounds.documentSeconds = document;
            bounds.fileBaseSeconds = fileBase;
        }
    }
    return bounds;
}

long Bounds::FileSeconds(std::uint64_t bytes) const {
    return fileBaseSeconds +
           static_cast<long>(bytes / static_cast<std::uint64_t>(fileBytesPerSecond));
}

Deadline::Deadline(const Bounds& limits, Kind transfer)
    : bounds(limits), kind(transfer), started(std::chrono::steady_clock::now()) {}

bool Deadline::Passed(std::uint64_t bytesMoved) const {
    const long allowed =
        kind == Kind::Document ? bounds.documentSeconds : bounds.FileSeconds(bytesMoved);
    return std::chrono::steady_clock::now() - started > std::chrono::seconds(allowed);
}

std::string UserAgent(const char* product) { return std::string(product) + "/" + KX_VERSION; }

void Apply(CURL* handle, const Bounds& bounds, Kind kind, std::uint64_t maxBytes, const Tls& tls,
           const char* product) {
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, bounds.connectSeconds);
    // libcurl's stall rule is a rate kept up over the whole window: 1 KiB
    // over the program's 30 s is 34 bytes a second. A test's shorter window
    // keeps the rate.
    const long rate = bounds.stallBytes / Bounds().stallSeconds;
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, rate > 0 ? rate : 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, bounds.stallSeconds);
    const long total =
        kind == Kind::Document ? bounds.documentSeconds : bounds.FileSeconds(maxBytes);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, total);
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
    curl_easy_setopt(handle, CURLOPT_USERAGENT, UserAgent(product).c_str());

    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, tls.verify ? 1L : 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, tls.verify ? 2L : 0L);
    if (tls.verify && !tls.caFile.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, tls.caFile.c_str());
    if (!tls.pinnedPublicKey.empty())
        curl_easy_setopt(handle, CURLOPT_PINNEDPUBLICKEY, tls.pinnedPublicKey.c_str());
}

int CheckDeadline(void* deadline, curl_off_t, curl_off_t downloadNow, curl_off_t,
                  curl_off_t uploadNow) {
    const std::uint64_t moved = static_cast<std::uint64_t>(downloadNow > 0 ? downloadNow : 0) +
                                static_cast<std::uint64_t>(uploadNow > 0 ? uploadNow : 0);
    return static_cast<const Deadline*>(deadline)->Passed(moved) ? 1 : 0;
}

bool Sink::Take(std::uint64_t bytes) {
    if (bytes > cap - received)
        return false;
    received += bytes;
    return true;
}

} // namespace TransferPolicy
