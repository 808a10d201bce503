#pragma once
// How often each request of an update run is tried, the pause between two
// attempts, and what a failed request's answer means for the next attempt.

#include "common/Retry.h"
#include "updater/Downloader.h"

namespace Retries {

// The signed manifest, the list and the list's digest.
const RetryPlan kManifest{5, 5};
const RetryPlan kList{5, 5};
// One module file.
const RetryPlan kModule{5, 10};
// The completion report.
const RetryPlan kReport{5, 1};
// Reading an installed file's digest (a local read: no pause, no run clock).
const RetryPlan kInstalledDigest{4, 0};

// What became of a request that failed.
enum class Failure {
    NotFound,     // 404: the server has no such thing
    HttpError,    // refused (4xx), or a server error (5xx) on the last attempt
    ConnectError, // no answer on the last attempt
    TryAgain,     // a server error or no answer, with attempts left
};

// The server answered and will answer the same again (4xx): no retry. A 5xx
// may pass and is tried again like a failed connection.
inline Failure Judge(const Downloader& downloader, bool last) {
    const int code = downloader.responseCode;
    if (code == 404)
        return Failure::NotFound;
    if ((code >= 400 && code < 500) || (last && code >= 400))
        return Failure::HttpError;
    return last ? Failure::ConnectError : Failure::TryAgain;
}

} // namespace Retries
