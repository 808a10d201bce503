#pragma once
// Signed mode of an update run. An installation folder holding "update.pub"
// (an Ed25519 public key in PEM) accepts only what the matching private key
// signed: a manifest naming the list's SHA-256 and each file's size and
// SHA-256, a version number that never goes back, and an expiry time. Every
// check answers with the reason of a refusal; the run refuses the whole
// update on the first one and changes nothing.

#include <ctime>
#include <string>
#include <vector>

#include "updater/Manifest.h"
#include "updater/Sha256.h"
#include "updater/SigningKey.h"
#include "updater/UpdateListData.h"
#include "updater/VerifyState.h"

class UpdateVerifier {
public:
    static const char* const keyFileName; // "update.pub"

    // True when `workDir` holds "update.pub" in any form (also a broken
    // link, a folder or an unreadable file: signed mode fails closed).
    static bool Enabled(const std::string& workDir);

    // Loads the pinned key and the accepted state from `workDir`.
    bool Start(const std::string& workDir, std::string& reason);
    // The fetched manifest: its form, its signature by the pinned key, its
    // expiry against `now`, and its version against the accepted state.
    bool CheckManifest(const std::string& text, std::time_t now, std::string& reason);
    // The SHA-256 of the list file's bytes as they arrived.
    bool CheckList(const std::string& listSha256, std::string& reason) const;
    // The list's entries, in order, against the manifest's files.
    bool CheckEntries(const std::vector<_updateListData>& entries, std::string& reason) const;
    // The manifest's statement of an entry of the checked list.
    const ManifestFile& FileOf(const _updateListData& entry) const;
    // Records the manifest as accepted; false when the state file could not
    // be written.
    bool Accept() const;

    std::uint64_t Version() const { return manifest.version; }

private:
    std::string workDir;
    SigningKey key;
    VerifyState state;
    Manifest manifest;
    std::string contentDigest;
};

// Checks one file's bytes against the manifest while they arrive. Bytes past
// the stated size are refused, which ends the transfer there.
class FileVerifier {
public:
    explicit FileVerifier(const ManifestFile& stated) : expected(stated) {}

    // How many of the `length` bytes to keep: all of them, or only those
    // up to the stated size.
    std::size_t Feed(const void* data, std::size_t length);
    // After the transfer: false with `reason` unless exactly the stated size
    // arrived with the stated SHA-256.
    bool Check(std::string& reason);
    bool Overflowed() const { return overflowed; }

private:
    const ManifestFile& expected;
    Sha256 sha;
    std::uint64_t received = 0;
    bool overflowed = false;
};
