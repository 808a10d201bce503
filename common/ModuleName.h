#pragma once
// The one rule for the names of module files and their folders, shared by the
// updater (which refuses any other list entry) and kxpublish (which refuses to
// list any other file), and the form a name takes in a module's URL.

#include <string>

// Prefix of the updater's own working files beside the installed ones; no
// module, and no folder of one, may carry it.
extern const char* const kUpdaterFilePrefix;

// Why `name` cannot be a module's file name, or nullptr when it can: it must
// be non-empty, not "." or "..", hold no "/", "\", "|" or control character
// (NUL, line breaks and the like), and not begin with the updater's prefix.
const char* ModuleNameProblem(const std::string& name);

// Why `dir` cannot be a module's folder (relative to the installation folder;
// "" and "." are the folder itself), or nullptr when it can: not absolute, no
// "|" or control character, never climbing out with "..", and no part
// beginning with the updater's prefix.
const char* ModuleDirProblem(const std::string& dir);

// `segment` as one URL path segment: the unreserved characters (letters,
// digits, "-", ".", "_", "~") kept, every other byte as "%XX".
std::string PercentEncodeSegment(const std::string& segment);
