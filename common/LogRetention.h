#pragma once
// Which daily logs a program keeps. Both programs name their logs by a prefix
// and the date ("kxinv_20240305.log", "kxupd_20240305.log"), so the names that
// sort last are the newest days: those are kept, the older ones deleted, and
// today's file is never deleted, whatever else lies in the folder.

#include <cstddef>
#include <string>
#include <vector>

namespace LogRetention {

// How many daily logs each program keeps.
const std::size_t kLogsKept = 30;

// Of `names` (file names, in any order), those to delete: every name except
// the `kept` that sort last and except `today`. Sorted ascending.
std::vector<std::string> Expired(std::vector<std::string> names, const std::string& today,
                                 std::size_t kept = kLogsKept);

// Deletes the expired logs of `folder`: the regular files (symbolic links
// followed) whose name begins with `prefix`; folders are neither counted nor
// deleted. A file that cannot be deleted is skipped.
void Prune(const std::string& folder, const std::string& prefix, const std::string& today,
           std::size_t kept = kLogsKept);

} // namespace LogRetention
