#pragma once
// Reading a server's PROPFIND answer (a "DAV:" multistatus document). Its
// elements are recognised by namespace and local name, whatever prefix the
// server gives them ("D:response", "d:response", "response" under a default
// namespace). Every href is taken unescaped, and either as a path or as a
// full URL whose scheme and host are set aside.

#include <string>

#include "webdav/Types.h"

namespace WebDAV {
namespace Multistatus {

// The names of the entries of `directory` (a normalised path): every
// response but the directory's own, in answer order; directories keep their
// trailing "/".
strings_t names(const std::string& body, const std::string& directory);

// The properties of `resource` (a normalised path) from the first response
// about it: "created", "name", "size", "modified" and "type" (the first
// resource type, "d:collection" for a directory, "" for a file). Empty when
// the answer holds no response about it.
dict_t properties(const std::string& body, const std::string& resource);

// The "quota-available-bytes" property of the first response that has one; 0 when none does.
unsigned long long quota_available(const std::string& body);

} // namespace Multistatus
} // namespace WebDAV
