#pragma once
// Reading a file whole, but only a regular file of bounded size. The agent's
// inputs come from a folder that another program fills; a FIFO there would
// block the read for ever, a link to /dev/zero would never end, a link to a
// file elsewhere would send that file's content to the server. The same rule
// keeps a command-line tool from reading a device or a huge file.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace inputfile {

// Limits per kind of collection input.
constexpr uint64_t kPropertyListLimit = uint64_t(256) << 20;
constexpr uint64_t kTextLimit = uint64_t(16) << 20;

enum class Links {
    NotFollowed, // the last component must not be a symbolic link
    Followed,    // a link is followed to whatever it names
};

struct Contents {
    enum class Status { Read, Missing, Refused };
    Status status = Status::Missing;
    std::string bytes;  // the whole file when Read
    std::string reason; // why, when not Read: the system's reason ("No such
                        // file or directory", "Is a directory") or "not a
                        // regular file", "larger than 16 MiB", ...
};

// Opens `file` without blocking (a FIFO opens at once), checks on the open
// descriptor that it is a regular file of at most `limit` bytes and reads it
// whole; a file that grows past `limit` while it is read is refused too.
// Missing: the file or its folder does not exist.
Contents readRegularFile(const std::string& file, uint64_t limit, Links links);

// A collection input: `file` read as above, links not followed. Missing and
// refused files both give nothing; a refusal is reported, once per file, to
// the RefusalLog in scope (none: not reported).
std::optional<std::string> readInput(const std::string& file, uint64_t limit);

// The lines of `bytes` as std::getline reads them: split at "\n", no line
// after a final "\n", a carriage return kept.
std::vector<std::string> splitLines(const std::string& bytes);

// While it lives, refused inputs are reported through `write`, one line each:
// "input refused: <file>: <reason>", the name made one line of at most 200
// bytes. Scopes nest; the innermost one reports. Not for use across threads.
class RefusalLog {
public:
    explicit RefusalLog(std::function<void(const std::string&)> lineWriter);
    ~RefusalLog();
    RefusalLog(const RefusalLog&) = delete;
    RefusalLog& operator=(const RefusalLog&) = delete;

    void report(const std::string& file, const std::string& reason);

private:
    std::function<void(const std::string&)> writeLine;
    std::set<std::string> reported;
    RefusalLog* outer;
};

} // namespace inputfile
