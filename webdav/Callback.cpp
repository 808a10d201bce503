#include "webdav/Callback.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <ostream>

namespace WebDAV {
namespace Callback {

std::size_t Read::stream(char* data, std::size_t size, std::size_t count, void* stream) {
    auto& in = *static_cast<std::istream*>(stream);
    in.read(data, static_cast<std::streamsize>(size * count));
    return static_cast<std::size_t>(in.gcount());
}

std::size_t Read::buffer(char* data, std::size_t size, std::size_t count, void* buffer) {
    auto& source = *static_cast<Data*>(buffer);
    const std::size_t length = std::min(source.size - source.position, size * count);
    if (length > 0)
        std::memcpy(data, source.buffer + source.position, length);
    source.position += length;
    return length;
}

std::size_t Write::stream(char* data, std::size_t size, std::size_t count, void* stream) {
    auto& out = *static_cast<std::ostream*>(stream);
    out.write(data, static_cast<std::streamsize>(size * count));
    return out ? size * count : 0;
}

std::size_t Append::buffer(char* data, std::size_t size, std::size_t count, void* buffer) {
    auto& response = *static_cast<std::vector<char>*>(buffer);
    response.insert(response.end(), data, data + size * count);
    return size * count;
}

std::size_t Discard::bytes(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

} // namespace Callback
} // namespace WebDAV
