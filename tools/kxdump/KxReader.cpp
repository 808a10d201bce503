#include "tools/kxdump/KxReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <iconv.h>

namespace kx {

namespace {

using json = nlohmann::ordered_json;

constexpr const char* kMagic = "KX20";
constexpr const char* kTrailer = "KX20EOF";
constexpr uint32_t kHardwareKind = 12;
constexpr uint32_t kSoftwareKind = 1;
constexpr uint32_t kHeaderExtensionSince = 10004;
constexpr uint32_t kDiskDetailsSince = 10009;
constexpr uint32_t kClosingCountSince = 10011;
constexpr uint32_t kWirelessSince = 10012;
constexpr unsigned char kLongTextMark = 0xFF;

// Reads the fields of a data file one after the other; every read checks
// that the bytes are there.
class Cursor {
public:
    explicit Cursor(const std::string& bytes) : data(bytes) {}

    uint32_t u32(const char* field) { return static_cast<uint32_t>(number(field, 4)); }
    int64_t i64(const char* field) { return static_cast<int64_t>(number(field, 8)); }

    std::string text(const char* field) {
        const size_t at = pos;
        need(field, 1);
        size_t length = byte();
        if (length == kLongTextMark) {
            need(field, 2);
            length = byte();
            length |= static_cast<size_t>(byte()) << 8;
        }
        if (remaining() < length)
            fail(std::string("the text ") + field + " at offset " + std::to_string(at) +
                 " is cut off: " + std::to_string(length) + " bytes announced, " +
                 std::to_string(remaining()) + " left");
        const std::string raw = data.substr(pos, length);
        pos += length;
        return sjisToUtf8(raw);
    }

    // A list count; entries take at least `minEntry` bytes each.
    uint32_t count(const char* list, size_t minEntry) {
        const size_t at = pos;
        const uint32_t n = u32(list);
        if (static_cast<uint64_t>(n) * minEntry > remaining())
            fail(std::string("the count of ") + list + " at offset " + std::to_string(at) + " (" +
                 std::to_string(n) + ") runs past the end of the file");
        return n;
    }

    void trailer() {
        const size_t length = std::strlen(kTrailer);
        if (data.compare(pos, length, kTrailer) != 0)
            fail(std::string("missing \"") + kTrailer + "\" at offset " + std::to_string(pos));
        pos += length;
        if (pos != data.size())
            fail(std::string("bytes after \"") + kTrailer +
                 "\": " + std::to_string(data.size() - pos));
    }

    [[noreturn]] static void fail(const std::string& message) { throw FormatError(message); }

private:
    size_t remaining() const { return data.size() - pos; }
    unsigned char byte() { return static_cast<unsigned char>(data[pos++]); }

    void need(const char* field, size_t bytes) {
        if (remaining() < bytes)
            fail(std::string("the file ends inside ") + field + " at offset " +
                 std::to_string(pos));
    }

    uint64_t number(const char* field, int bytes) {
        need(field, bytes);
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<uint64_t>(byte()) << (8 * i);
        return value;
    }

    const std::string& data;
    size_t pos = 0;
};

json readHeader(Cursor& in, const std::string& bytes) {
    if (bytes.compare(0, 5, std::string("\x04") + kMagic) != 0)
        Cursor::fail("wrong magic: not a KX20 data file");
    json h;
    h["magic"] = in.text("magic");
    h["formatVersion"] = in.u32("formatVersion");
    h["reserved"] = in.u32("reserved");
    h["computerName"] = in.text("computerName");
    h["fileKind"] = in.u32("fileKind");
    h["agentVersion"] = in.text("agentVersion");
    h["categoryCode"] = in.u32("categoryCode");
    h["startTime"] = in.u32("startTime");
    h["endTime"] = in.u32("endTime");
    if (h["formatVersion"].get<uint32_t>() >= kHeaderExtensionSince) {
        h["extensionFlag"] = in.u32("extensionFlag");
        h["machineUuid"] = in.text("machineUuid");
    }
    return h;
}

// ---------------------------------------------------------------- hardware

json readSystem(Cursor& in) {
    json s;
    s["computerName"] = in.text("computerName");
    s["manufacturer"] = in.text("manufacturer");
    s["model"] = in.text("model");
    s["serialNumber"] = in.text("serialNumber");
    s["uuid"] = in.text("uuid");
    return s;
}

json readCpus(Cursor& in) {
    json list = json::array();
    for (uint32_t n = in.count("cpus", 9); n > 0; --n) {
        json e;
        e["name"] = in.text("name");
        e["clockMhz"] = in.u32("clockMhz");
        e["cores"] = in.u32("cores");
        list.push_back(e);
    }
    return list;
}

json readMemory(Cursor& in) {
    json list = json::array();
    for (uint32_t n = in.count("memorySlots", 5); n > 0; --n) {
        json e;
        e["name"] = in.text("name");
        e["sizeKb"] = in.u32("sizeKb");
        list.push_back(e);
    }
    return list;
}

json readDisks(Cursor& in, uint32_t version) {
    const bool details = version >= kDiskDetailsSince;
    json list = json::array();
    for (uint32_t n = in.count("disks", details ? 23 : 18); n > 0; --n) {
        json e;
        e["name"] = in.text("name");
        e["sizeBytes"] = in.i64("sizeBytes");
        e["reserved"] = in.u32("reserved");
        e["partitionCount"] = in.u32("partitionCount");
        e["diskText1"] = in.text("diskText1");
        e["diskText2"] = in.text("diskText2");
        if (details) {
            e["diskText3"] = in.text("diskText3"); // its first word
            e["stamp"] = in.u32("stamp");
        }
        list.push_back(e);
    }
    return list;
}

json readPartitions(Cursor& in) {
    json list = json::array();
    for (uint32_t n = in.count("partitions", 25); n > 0; --n) {
        json e;
        e["name"] = in.text("name");
        e["sizeBytes"] = in.i64("sizeBytes");
        e["freeBytes"] = in.i64("freeBytes");
        e["driveType"] = in.u32("driveType");
        e["marker"] = in.u32("marker");
        list.push_back(e);
    }
    return list;
}

json readCdDrives(Cursor& in) {
    json list = json::array();
    for (uint32_t n = in.count("cdDrives", 2); n > 0; --n) {
        json e;
        e["name"] = in.text("name");
        e["deviceName"] = in.text("deviceName");
        list.push_back(e);
    }
    return list;
}

json readMonitors(Cursor& in) {
    json list = json::array();
    for (uint32_t n = in.count("monitors", 17); n > 0; --n) {
        json e;
        e["name"] = in.text("name");
        e["vramKb"] = in.u32("vramKb");
        e["width"] = in.u32("width");
        e["height"] = in.u32("height");
        e["colorDepth"] = in.u32("colorDepth");
        list.push_back(e);
    }
    return list;
}

json readNics(Cursor& in, uint32_t version) {
    const bool wireless = version >= kWirelessSince;
    json list = json::array();
    for (uint32_t n = in.count("nics", wireless ? 20 : 16); n > 0; --n) {
        json e;
        e["adapterState"] = in.u32("adapterState");
        e["description"] = in.text("description");
        e["macAddress"] = in.text("macAddress");
        e["ipAddress"] = in.text("ipAddress");
        e["subnetMask"] = in.text("subnetMask");
        e["defaultGateway"] = in.text("defaultGateway");
        e["dhcpServer"] = in.text("dhcpServer");
        e["dnsServer1"] = in.text("dnsServer1");
        e["dnsServer2"] = in.text("dnsServer2");
        e["dhcpEnabled"] = in.u32("dhcpEnabled");
        if (wireless)
            e["wireless"] = in.u32("wireless");
        list.push_back(e);
    }
    return list;
}

json readPrinters(Cursor& in, uint32_t version) {
    const bool stamp = version >= kDiskDetailsSince;
    json list = json::array();
    for (uint32_t n = in.count("printers", stamp ? 8 : 4); n > 0; --n) {
        json e;
        e["text1"] = in.text("text1");
        e["text2"] = in.text("text2");
        e["text3"] = in.text("text3");
        e["text4"] = in.text("text4");
        if (stamp)
            e["stamp"] = in.u32("stamp");
        list.push_back(e);
    }
    return list;
}

json readOperatingSystem(Cursor& in) {
    json s;
    s["osName"] = in.text("osName");
    s["osText4"] = in.text("osText4");
    s["osText5"] = in.text("osText5");
    s["osText6"] = in.text("osText6");
    s["osText7"] = in.text("osText7");
    s["osInstallDate"] = in.text("osInstallDate");
    s["osFlag"] = in.text("osFlag");
    s["sourceFolderName"] = in.text("sourceFolderName");
    s["domainName"] = in.text("domainName");
    s["architecture"] = in.text("architecture");
    s["osVersion"] = in.text("osVersion");
    s["reservedTexts"] = {in.text("reservedText"), in.text("reservedText")};
    s["stamp"] = in.u32("stamp");
    return s;
}

json readAccounts(Cursor& in) {
    json list = json::array();
    for (uint32_t n = in.count("accounts", 5); n > 0; --n) {
        json e;
        e["name"] = in.text("name");
        e["value"] = in.u32("value");
        list.push_back(e);
    }
    return list;
}

json readClosingCounts(Cursor& in, uint32_t version) {
    json counts = json::array();
    counts.push_back(in.u32("closing count"));
    if (version >= kClosingCountSince)
        counts.push_back(in.u32("closing count"));
    return counts;
}

void readHardwareBody(Cursor& in, uint32_t version, json& file) {
    file["system"] = readSystem(in);
    file["cpus"] = readCpus(in);
    file["memorySlots"] = readMemory(in);
    file["disks"] = readDisks(in, version);
    file["partitions"] = readPartitions(in);
    file["cdDrives"] = readCdDrives(in);
    file["monitors"] = readMonitors(in);
    file["nics"] = readNics(in, version);
    file["printers"] = readPrinters(in, version);
    file["operatingSystem"] = readOperatingSystem(in);
    file["accounts"] = readAccounts(in);
    file["closingCounts"] = readClosingCounts(in, version);
}

// ---------------------------------------------------------------- software

void readSoftwareBody(Cursor& in, json& file) {
    json list = json::array();
    for (uint32_t n = in.count("applications", 12); n > 0; --n) {
        json e;
        e["installTime"] = in.u32("installTime");
        e["name"] = in.text("name");
        e["reservedText1"] = in.text("reservedText1");
        e["version"] = in.text("version");
        e["reservedText2"] = in.text("reservedText2");
        e["reservedNumber"] = static_cast<int32_t>(in.u32("reservedNumber"));
        list.push_back(e);
    }
    file["applications"] = list;
    file["terminator"] = in.u32("terminator");
}

} // namespace

json readDataFile(const std::string& bytes) {
    Cursor in(bytes);
    json file;
    file["kind"] = nullptr;
    file["header"] = readHeader(in, bytes);
    const uint32_t kind = file["header"]["fileKind"];
    const uint32_t version = file["header"]["formatVersion"];
    if (kind == kHardwareKind) {
        file["kind"] = "hardware";
        readHardwareBody(in, version, file);
    } else if (kind == kSoftwareKind) {
        file["kind"] = "software";
        readSoftwareBody(in, file);
    } else {
        Cursor::fail("unknown file kind " + std::to_string(kind) +
                     " (12 is hardware, 1 is software)");
    }
    in.trailer();
    return file;
}

// Byte by byte: ASCII stays ASCII (backslash and tilde included), a
// half-width katakana byte or a lead byte with its trail byte goes through the
// converter one character at a time, and whatever the converter refuses
// becomes U+FFFD.
std::string sjisToUtf8(const std::string& sjis) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    iconv_t cd = iconv_open("UTF-8", "SHIFT-JIS");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no Shift_JIS converter");
    std::string result;
    size_t i = 0;
    while (i < sjis.size()) {
        const unsigned char c = static_cast<unsigned char>(sjis[i]);
        if (c < 0x80) {
            result += static_cast<char>(c);
            ++i;
            continue;
        }
        const size_t length = (c >= 0xA1 && c <= 0xDF) ? 1 : 2;
        char out[8];
        char* inPtr = const_cast<char*>(sjis.data() + i);
        size_t inLeft = std::min(length, sjis.size() - i);
        char* outPtr = out;
        size_t outLeft = sizeof out;
        if (inLeft == length &&
            iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
            inLeft == 0) {
            result.append(out, outPtr);
            i += length;
        } else {
            result += kReplacement;
            ++i;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return result;
}

} // namespace kx
