#pragma once
// File operations the update transaction relies on: flushes to disk, copies
// that never write through an existing name, whole-file replacement by
// rename, and the question whether a file's content is a program.

#include <string>

namespace durable {

// fsync of a file's content, or of a folder's entries.
bool SyncFile(const std::string& path);
bool SyncDir(const std::string& dir);

// Copies `from` to the new file `to` (which must not exist) with `from`'s
// permission bits, flushed to disk. A partial copy is removed.
bool CopyFile(const std::string& from, const std::string& to);

// `to` as a second name of `from` (a hard link), or, where no link can be made
// (another file system, links not supported), as a flushed copy.
bool LinkOrCopy(const std::string& from, const std::string& to);

// Replaces `path` with `content` whole: written beside it and renamed over
// it, so that `path` is never partial. With `flush`, the file and then its
// folder are flushed to disk before this returns.
bool WriteWhole(const std::string& path, const std::string& content, bool flush);

// While it lives, flushes the file at `path` (once it exists) to disk every
// few milliseconds, from a thread of its own, so that a file being
// written is mostly on disk when it is complete and its final flush is short.
class BackgroundFlush {
public:
    explicit BackgroundFlush(std::string path);
    ~BackgroundFlush();
    BackgroundFlush(const BackgroundFlush&) = delete;
    BackgroundFlush& operator=(const BackgroundFlush&) = delete;

private:
    struct State;
    State* state;
};

// Removes a file; a missing one is not an error.
bool RemoveFile(const std::string& path);

// True when the file starts like a program: ELF or Mach-O magic, or "#!".
bool LooksExecutable(const std::string& path);

// The folder part of a path ("." for a bare name).
std::string DirOf(const std::string& path);

} // namespace durable
