// Helpers shared by the property-list tests: fixture paths, tree comparison
// and a builder of binary property lists byte by byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <boost/any.hpp>

#include "plist/Plist.h"

namespace plisttest {

inline std::string fixture(const std::string& relative) {
    return std::string(KX_SOURCE_DIR) + "/tests/plist/fixtures/" + relative;
}

// Empty when both trees hold the same types and values, else the path of
// the first difference.
inline std::string difference(const boost::any& a, const boost::any& b,
                              const std::string& at = "/") {
    if (a.type() != b.type())
        return at + ": types differ (" + a.type().name() + " / " + b.type().name() + ")";
    if (auto* x = boost::any_cast<Plist::dictionary_type>(&a)) {
        auto& y = boost::any_cast<const Plist::dictionary_type&>(b);
        if (x->size() != y.size())
            return at + ": dictionary sizes differ";
        for (auto i = x->begin(), j = y.begin(); i != x->end(); ++i, ++j) {
            if (i->first != j->first)
                return at + ": keys differ (" + i->first + " / " + j->first + ")";
            std::string d = difference(i->second, j->second, at + i->first + "/");
            if (!d.empty())
                return d;
        }
        return {};
    }
    if (auto* x = boost::any_cast<Plist::array_type>(&a)) {
        auto& y = boost::any_cast<const Plist::array_type&>(b);
        if (x->size() != y.size())
            return at + ": array sizes differ";
        for (size_t i = 0; i < x->size(); ++i) {
            std::string d = difference((*x)[i], y[i], at + std::to_string(i) + "/");
            if (!d.empty())
                return d;
        }
        return {};
    }
    std::ostringstream values;
    bool same = false;
    if (auto* text = boost::any_cast<std::string>(&a)) {
        same = *text == boost::any_cast<std::string>(b);
        values << *text << " / " << boost::any_cast<std::string>(b);
    } else if (auto* integer = boost::any_cast<long long>(&a)) {
        same = *integer == boost::any_cast<long long>(b);
        values << *integer << " / " << boost::any_cast<long long>(b);
    } else if (auto* real = boost::any_cast<double>(&a)) {
        const double y = boost::any_cast<double>(b);
        same = std::memcmp(real, &y, sizeof y) == 0;
        values << *real << " / " << y;
    } else if (auto* flag = boost::any_cast<bool>(&a)) {
        same = *flag == boost::any_cast<bool>(b);
    } else if (auto* date = boost::any_cast<Plist::Date>(&a)) {
        const Plist::Date y = boost::any_cast<Plist::Date>(b);
        same = *date == y;
        values << date->timeAsEpoch() << " / " << y.timeAsEpoch();
    } else if (auto* bytes = boost::any_cast<Plist::data_type>(&a)) {
        same = *bytes == boost::any_cast<Plist::data_type>(b);
    } else {
        return at + ": unexpected type " + a.type().name();
    }
    return same ? std::string() : at + ": values differ " + values.str();
}

// The tree of the list in the file `path`.
inline boost::any readFile(const std::string& path) {
    boost::any value;
    Plist::readPlist(path.c_str(), value);
    return value;
}

inline boost::any readBuffer(const std::string& bytes) {
    boost::any value;
    Plist::readPlist(bytes.data(), static_cast<long long>(bytes.size()), value);
    return value;
}

// The message of the exception a read throws, or "" when it succeeds.
template <class Read>
std::string failureOf(Read read) {
    try {
        read();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

inline std::string bigEndian(uint64_t value, int width) {
    std::string bytes(width, '\0');
    for (int i = width - 1; i >= 0; --i, value >>= 8)
        bytes[i] = static_cast<char>(value & 0xFF);
    return bytes;
}

// A binary property list of the given objects (object 0 is the root), with
// offsets and references of the given widths.
struct BinaryList {
    std::vector<std::string> objects;
    int offsetByteSize = 1;
    int objectRefSize = 1;
    uint64_t topObject = 0;

    std::string bytes() const {
        std::string out = "bplist00";
        std::vector<uint64_t> offsets;
        for (const std::string& object : objects) {
            offsets.push_back(out.size());
            out += object;
        }
        const uint64_t offsetTableOffset = out.size();
        for (uint64_t offset : offsets)
            out += bigEndian(offset, offsetByteSize);
        out += std::string(6, '\0');
        out += static_cast<char>(offsetByteSize);
        out += static_cast<char>(objectRefSize);
        out += bigEndian(objects.size(), 8);
        out += bigEndian(topObject, 8);
        out += bigEndian(offsetTableOffset, 8);
        return out;
    }
};

// Object bytes from a list of byte values.
inline std::string obj(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes)
        out += static_cast<char>(b);
    return out;
}

} // namespace plisttest
