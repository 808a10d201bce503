#pragma once
// libcurl read and write callbacks: (data, element size, element count, user
// pointer) → the number of bytes handled.

#include <cstddef>
#include <vector>

namespace WebDAV {

// A memory source for a PUT: the bytes, how far they have been read, how many there are.
struct Data {
    const char* buffer;
    std::size_t position;
    std::size_t size;
};

namespace Callback {

namespace Read {
// Fills `data` from the std::istream `stream` with what is left of it, at most size × count bytes.
std::size_t stream(char* data, std::size_t size, std::size_t count, void* stream);
// Fills `data` from the `Data` source `buffer` and advances its position.
std::size_t buffer(char* data, std::size_t size, std::size_t count, void* buffer);
} // namespace Read

namespace Write {
// Writes the bytes to the std::ostream `stream`; a stream that fails takes
// none, which aborts the transfer.
std::size_t stream(char* data, std::size_t size, std::size_t count, void* stream);
} // namespace Write

namespace Append {
// Appends the bytes to the std::vector<char> `buffer`.
std::size_t buffer(char* data, std::size_t size, std::size_t count, void* buffer);
} // namespace Append

namespace Discard {
// Takes the bytes and keeps none of them.
std::size_t bytes(char* data, std::size_t size, std::size_t count, void* unused);
} // namespace Discard

} // namespace Callback
} // namespace WebDAV
