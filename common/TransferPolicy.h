#pragma once
// The bounds and the TLS settings every transfer of both programs follows,
// applied to a libcurl easy handle in one place.
//
// Time: 30 s to connect; a transfer that moves fewer than 1 KiB over 30 s has
// stalled and is abandoned (a trickle counts as a stall). A small document
// (the update list and its digest, a PROPFIND, the completion report, the log
// upload) ends within 2 minutes whatever the server does. A file transfer of
// N bytes ends within 2 minutes + N / 16 KiB/s: after its first two minutes
// it must have averaged 16 KiB/s, counted on the bytes that actually moved,
// so an announced size cannot buy time.
//
// Size: every answer has a cap, checked while its bytes arrive (see
// `Sink`); over the cap the transfer fails like a broken connection.
//
// Tests shorten the times through the environment variable
// KX_TEST_TRANSFER_BOUNDS="connect,stall,document,fileBase" (seconds), read
// only when it is set.

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace TransferPolicy {

const std::uint64_t KiB = 1024;
const std::uint64_t MiB = 1024 * KiB;

// The caps of the answers the programs read.
const std::uint64_t kDigestBytes = 1 * KiB;
const std::uint64_t kListBytes = 16 * MiB;
const std::uint64_t kDocumentBytes = 1 * MiB;
const std::uint64_t kDefaultFileBytes = 2048 * MiB;

struct Bounds {
    long connectSeconds = 30;
    // Fewer than `stallBytes` over `stallSeconds` is a stall.
    long stallSeconds = 30;
    long stallBytes = 1024;
    long documentSeconds = 120;
    long fileBaseSeconds = 120;
    long fileBytesPerSecond = 16 * 1024;

    // The program's bounds, or the test's shortened ones (see above).
    static Bounds Current();
    // The longest a file transfer of `bytes` may take.
    long FileSeconds(std::uint64_t bytes) const;
};

// Verified TLS: off by default (the server's certificate is not checked).
struct Tls {
    bool verify = false;
    // A PEM bundle of the CAs to trust; empty: the system's store.
    std::string caFile;
    // libcurl's "sha256//<base64>;sha256//…" form; empty: no pinning.
    std::string pinnedPublicKey;
};

enum class Kind { Document, File };

// The watch over one transfer's total time. Install with `Apply`; libcurl
// calls it about once a second, also while nothing moves.
class Deadline {
public:
    Deadline(const Bounds& limits, Kind transfer);
    // True when the transfer has taken longer than its bytes allow.
    bool Passed(std::uint64_t bytesMoved) const;
    bool IsFile() const { return kind == Kind::File; }

private:
    Bounds bounds;
    Kind kind;
    std::chrono::steady_clock::time_point started;
};

// Sets the connection bounds, the total time (a document's, or the longest a
// file of `maxBytes` may take), the largest body libcurl accepts, the TLS
// settings and the User-Agent "<product>/<version>" on `handle`.
void Apply(CURL* handle, const Bounds& bounds, Kind kind, std::uint64_t maxBytes, const Tls& tls,
           const char* product);

// The progress function of a transfer of kind File: the `Deadline` is its
// user data. Returns non-zero (abort) when the deadline has passed.
int CheckDeadline(void* deadline, curl_off_t downloadTotal, curl_off_t downloadNow,
                  curl_off_t uploadTotal, curl_off_t uploadNow);

// The User-Agent value of `product`: "<product>/<version>".
std::string UserAgent(const char* product);

// A bounded receiver of an answer: takes at most `cap` bytes in total and
// refuses the chunk that would pass it, which aborts the transfer.
struct Sink {
    std::uint64_t cap;
    std::uint64_t received = 0;
    // True when the next `bytes` still fit; counts them.
    bool Take(std::uint64_t bytes);
};

} // namespace TransferPolicy
