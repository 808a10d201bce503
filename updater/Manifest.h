#pragma once
// The signed manifest of one release: what the publisher's key vouches for.
// Two lines of text:
//
//   {"expires":"2027-06-30T00:00:00Z","files":[{"dir":".","name":"KX_InventoryAGT","sha256":"<64
//   hex>","size":1843200}],"list_sha256":"<64 hex>","version":12} <base64 of the Ed25519 signature
//   of the first line's bytes>
//
// The first line is canonical JSON (keys sorted, no blanks, exactly these
// keys and types); "files" holds the list's entries in list order, with the
// name and directory exactly as the list states them. Each line ends with a
// line feed. The SHA-256 of the first line identifies the manifest's content.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Larger manifests are refused unread.
constexpr std::size_t maxManifestBytes = 1024 * 1024;

struct ManifestFile {
    std::string name;
    std::string dir;
    std::uint64_t size = 0;
    std::string sha256; // 64 lower-case hex digits
};

struct Manifest {
    std::uint64_t version = 0; // positive; raised with every release
    std::string expires;       // YYYY-MM-DDTHH:MM:SSZ
    std::time_t expiresAt = 0; // the same, as a time
    std::string listSha256;    // of the list file's exact bytes
    std::vector<ManifestFile> files;

    std::string body;      // the signed first line, without its line feed
    std::string signature; // the 64 signature bytes
};

// Reads a manifest's text into `manifest` (signature not yet checked); false
// with `reason` for anything but the form above.
bool ReadManifest(const std::string& text, Manifest& manifest, std::string& reason);

// The canonical first line for the fields of `manifest` (its body and
// signature are not used); "" when a name or folder is not UTF-8.
std::string ManifestBody(const Manifest& manifest);

// The manifest's text: `body`, a line feed, the base64 signature, a line feed.
std::string ManifestText(const std::string& body, const std::string& signature);

// Reads a YYYY-MM-DDTHH:MM:SSZ time (UTC) strictly; false for anything else.
bool ParseUtcTime(const std::string& text, std::time_t& time);
