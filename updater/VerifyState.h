#pragma once
// What a signed installation has accepted so far, kept in "update.state" in
// the installation folder so that an older release, or another release under
// an accepted version number, is never installed:
//
//   version 12
//   manifest <SHA-256 of the accepted manifest's signed line>
//
// Written whole (temporary file, flushed to disk, renamed into place) after
// a signed run that left the installation at that release.

#include <cstdint>
#include <string>

struct VerifyState {
    std::uint64_t version = 0; // 0: nothing accepted yet
    std::string manifest;      // the accepted manifest's content digest

    static const char* const fileName;

    // Reads the state in `dir`. A missing file is the empty state; false
    // with `reason` when the file exists but cannot be read or is malformed.
    bool Read(const std::string& dir, std::string& reason);
    // Replaces the state file in `dir` atomically; false when it could not
    // be written (the old file, if any, is left as it was).
    bool Write(const std::string& dir) const;
};
