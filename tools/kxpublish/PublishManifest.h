#pragma once
// kxpublish's signed manifest: the modules' digests taken in one read, and
// the manifest of a release written and signed.

#include <string>
#include <vector>

#include "updater/Manifest.h"

// Reads the module at `path` once: its MD5 text for the list into `md5`, its
// size and SHA-256 into `file`. False when it cannot be read.
bool DigestModule(const std::string& path, std::string& md5, ManifestFile& file);

struct ManifestRequest {
    std::string keyFile; // Ed25519 private key, PEM
    std::string version; // decimal, positive
    std::string expires; // YYYY-MM-DDTHH:MM:SSZ
};

// The signed manifest's text for `list` (the list file's exact bytes) and its
// `files`; false with `error` for a bad key, version or time.
bool SignedManifest(const ManifestRequest& request, const std::string& list,
                    const std::vector<ManifestFile>& files, std::string& text, std::string& error);
