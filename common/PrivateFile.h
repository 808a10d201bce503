#pragma once
// Files that only the owner may read: the logs, the log text prepared for
// upload, the last-run status files and the folders holding them. Files are
// created with mode 0600 and folders with 0700, whatever the umask; every
// failure is returned with the system's reason.

#include <ctime>
#include <string>

namespace PrivateFile {

// Appends `text` to `path`, creating it (0600) when missing.
bool Append(const std::string& path, const std::string& text, std::string* error = nullptr);

// Creates `path` empty (0600) when it does not exist; leaves an existing file alone.
bool Touch(const std::string& path, std::string* error = nullptr);

// Replaces the content of `path` with `text`; the file ends with mode 0600
// also when it existed with a wider one.
bool Replace(const std::string& path, const std::string& text, std::string* error = nullptr);

// Writes `text` beside `path`, flushes it to the disk and renames it into
// place, so a reader sees the old file or the new one, never a part. The
// temporary file is removed when anything fails.
bool ReplaceAtomically(const std::string& path, const std::string& text,
                       std::string* error = nullptr);

// Creates the folder `path` (and missing parents) with mode 0700 for what
// it creates; an existing folder is left alone. False when `path` is not a
// folder afterwards.
bool MakeFolder(const std::string& path, std::string* error = nullptr);

// A local time as ISO 8601 with the offset from UTC: "2024-03-05T09:07:02+09:00".
std::string IsoTime(std::time_t when);

} // namespace PrivateFile
