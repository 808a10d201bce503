#pragma once
// Decodes a KX20 data file (hardware or software, told apart by the header's
// kind) into JSON: the header, then each section of the file in file order,
// its entries under the record types' field names, texts back in UTF-8.

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace kx {

// What is wrong with a data file and where (a byte offset).
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole file's content; throws FormatError for anything but one complete
// data file that ends with "KX20EOF".
nlohmann::ordered_json readDataFile(const std::string& bytes);

// Shift_JIS to UTF-8, ASCII bytes read as ASCII; a byte that is no Shift_JIS
// becomes U+FFFD.
std::string sjisToUtf8(const std::string& sjis);

} // namespace kx
