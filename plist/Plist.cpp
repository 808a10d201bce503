#include "plist/Plist.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>

#include "plist/PlistBinary.h"
#include "plist/base64.h"

namespace Plist {

namespace {

const char* const keyExpected = "Plist: XML dictionary key expected but not found";
const char* const valueExpected = "Plist: XML dictionary value expected for key ";
const char* const unknownNode = "Plist: XML unknown node type ";

const char* const zeroLength = "Can't read zero length data";

const char binaryMagic[] = "bplist00";
constexpr long long binaryMagicSize = 8;

// The documents keep an element's leading character data as the element's
// own value instead of a child node (half the nodes of a typical list). The
// text of an element is still that of its first child, as if the character
// data were a node of its own.
constexpr unsigned int parseOptions = pugi::parse_default | pugi::parse_embed_pcdata;

const char* firstChildText(const pugi::xml_node& node) {
    const char* embedded = node.value();
    return *embedded ? embedded : node.first_child().value();
}

boost::any parseNode(const pugi::xml_node& node, int depth);

// <dict><key>name</key><string>value</string>...</dict>
dictionary_type parseDictionaryNode(const pugi::xml_node& node, int depth) {
    if (depth >= maxNesting)
        throw Error(nestingTooDeep);
    // Leading character data stands where the first key is due.
    if (*node.value())
        throw Error(keyExpected);
    dictionary_type dictionary;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (std::strcmp(child.name(), "key") != 0)
            throw Error(keyExpected);
        std::string key = firstChildText(child);
        child = child.next_sibling();
        if (!child)
            throw Error(valueExpected + key + "but not found");
        if (std::strcmp(child.name(), "key") == 0)
            throw Error(valueExpected + key + "but found another key node");
        boost::any value = parseNode(child, depth + 1);
        dictionary.insert_or_assign(dictionary.end(), std::move(key), std::move(value));
    }
    return dictionary;
}

// <array><string>a</string><integer>1</integer>...</array>
array_type parseArrayNode(const pugi::xml_node& node, int depth) {
    if (depth >= maxNesting)
        throw Error(nestingTooDeep);
    // Leading character data is an element without a name.
    if (*node.value())
        throw Error(unknownNode);
    array_type array;
    array.reserve(std::distance(node.begin(), node.end()));
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        array.push_back(parseNode(child, depth + 1));
    return array;
}

// depth: the number of containers around this node.
boost::any parseNode(const pugi::xml_node& node, int depth) {
    const char* name = node.name();
    const char* text = firstChildText(node);
    if (std::strcmp(name, "dict") == 0)
        return parseDictionaryNode(node, depth);
    if (std::strcmp(name, "array") == 0)
        return parseArrayNode(node, depth);
    if (std::strcmp(name, "string") == 0)
        return std::string(text);
    if (std::strcmp(name, "integer") == 0)
        return static_cast<long long>(std::strtoll(text, nullptr, 10));
    if (std::strcmp(name, "real") == 0)
        return std::strtod(text, nullptr);
    if (std::strcmp(name, "false") == 0)
        return false;
    if (std::strcmp(name, "true") == 0)
        return true;
    if (std::strcmp(name, "data") == 0)
        return base64Decode(text);
    if (std::strcmp(name, "date") == 0) {
        pugi::xml_node element = node;
        return parseDate(element);
    }
    throw Error(unknownNode + std::string(name));
}

// <?xml ...?><plist version="1.0"><dict>...</dict></plist>
boost::any parseXml(const pugi::xml_document& document) {
    return parseNode(document.child("plist").first_child(), 0);
}

void checkXml(const pugi::xml_parse_result& result) {
    if (!result)
        throw Error(std::string("Plist: XML parsed with error ") + result.description());
}

bool isBinary(const char* data, long long size) {
    return size >= binaryMagicSize && std::memcmp(data, binaryMagic, binaryMagicSize) == 0;
}

boost::any readBinary(const char* data, long long size) {
    return parseBinaryPlist(reinterpret_cast<const unsigned char*>(data),
                            static_cast<uint64_t>(size));
}

} // namespace

void readPlist(std::istream& stream, boost::any& message) {
    const std::streampos start = stream.tellg();
    stream.seekg(0, std::ios::end);
    const std::streampos end = stream.tellg();
    const std::streamoff length = (start < 0 || end < 0) ? 0 : end - start;
    if (length > std::numeric_limits<int32_t>::max())
        throw Error("Plist: data of 2 GiB or more can't be read");
    if (length <= 0)
        throw Error(zeroLength);

    // Left uninitialised: every byte used is read from the stream.
    std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(length)]);
    stream.seekg(start);
    stream.read(buffer.get(), length);
    const long long size = stream.gcount();
    if (size <= 0)
        throw Error(zeroLength);

    if (isBinary(buffer.get(), size)) {
        message = readBinary(buffer.get(), size);
        return;
    }
    // The buffer is ours: parse it in place instead of copying it again.
    pugi::xml_document document;
    checkXml(document.load_buffer_inplace(buffer.get(), static_cast<size_t>(size), parseOptions));
    message = parseXml(document);
}

void readPlist(const char* byteArrayTemp, long long size, boost::any& message) {
    if (byteArrayTemp == nullptr || size <= 0)
        throw Error("Plist: Empty plist data");
    if (isBinary(byteArrayTemp, size)) {
        message = readBinary(byteArrayTemp, size);
        return;
    }
    pugi::xml_document document;
    checkXml(document.load_buffer(byteArrayTemp, static_cast<size_t>(size), parseOptions));
    message = parseXml(document);
}

boost::any parse(pugi::xml_node& node) { return parseNode(node, 0); }

dictionary_type parseDictionary(pugi::xml_node& node) { return parseDictionaryNode(node, 0); }

array_type parseArray(pugi::xml_node& node) { return parseArrayNode(node, 0); }

Date parseDate(pugi::xml_node& node) {
    Date date;
    date.setTimeFromXMLConvention(firstChildText(node));
    return date;
}

data_type base64Decode(const char* text) {
    data_type bytes;
    bytes.reserve(std::strlen(text) / 4 * 3 + 3);
    base64<char>::get(text, text + std::strlen(text), std::back_inserter(bytes));
    return bytes;
}

} // namespace Plist
