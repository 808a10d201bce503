// Property lists (XML and binary "bplist00") read into a tree of boost::any:
//
//   dict    -> std::map<std::string, boost::any>
//   array   -> std::vector<boost::any>
//   string  -> std::string (UTF-8)
//   integer -> long long
//   real    -> double
//   true/false -> bool
//   date    -> Plist::Date
//   data    -> std::vector<char>
//
// Every failure throws Plist::Error (invalid UTF-16 in a binary string throws
// Boost.Locale's conversion_error); a failed read leaves the output untouched.
#pragma once

#include <fstream>
#include <istream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/any.hpp>
#include <pugixml.hpp>

#include "plist/PlistDate.h"

namespace Plist {

using dictionary_type = std::map<std::string, boost::any>;
using array_type = std::vector<boost::any>;
using data_type = std::vector<char>;

class Error : public std::runtime_error {
public:
    explicit Error(const char* what) : std::runtime_error(what) {}
    explicit Error(const std::string& what) : std::runtime_error(what) {}
};

// Containers nested deeper than this fail to read.
constexpr int maxNesting = 512;

// Reads the whole stream and then the buffer as below.
void readPlist(std::istream& stream, boost::any& message);

// Reads a buffer: binary when it starts with "bplist00", else XML.
void readPlist(const char* byteArrayTemp, long long size, boost::any& message);

// Reads a file (opened in binary mode).
template <typename T>
void readPlist(const char* filename, T& message) {
    std::ifstream stream(filename, std::ios::binary);
    if (!stream.good())
        throw Error("Can't open file.");
    readPlist(stream, message);
}

template <typename T>
void readPlist(const std::string& filename, T& message) {
    readPlist(filename.c_str(), message);
}

// The XML reader's steps, callable on their own.
boost::any parse(pugi::xml_node& node);
dictionary_type parseDictionary(pugi::xml_node& node);
array_type parseArray(pugi::xml_node& node);
Date parseDate(pugi::xml_node& node);
data_type base64Decode(const char* text);

} // namespace Plist
