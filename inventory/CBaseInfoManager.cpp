#include "inventory/CBaseInfoManager.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <boost/filesystem/operations.hpp>

#include "common/utils.h"

namespace fs = boost::filesystem;

namespace {

constexpr const char* kTempModel = "%%%%-%%%%-%%%%-%%%%";
constexpr const char* kFileNamePattern = "KX-%d-%02d%s.dat";
constexpr const char* kStampPattern = "%Y%m%d%H%M%S";
constexpr int kShortTextMax = 254;
constexpr unsigned char kLongTextMark = 0xFF;

// Removes the temporary data file when the pipeline leaves before delivery
// has taken it; after a delivery there is nothing left to remove.
class TemporaryFile {
public:
    explicit TemporaryFile(fs::path file) : path(std::move(file)) {}
    ~TemporaryFile() {
        boost::system::error_code ignored;
        fs::remove(path, ignored);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const fs::path path;
};

void putLittleEndian(uint64_t value, int bytes, unsigned char* buffer) {
    for (int i = 0; i < bytes; ++i)
        buffer[i] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

CBaseInfoManager::CBaseInfoManager(const std::string& sourceFolder, const std::string& destFolder,
                                   tagWMISTRUCT& shared)
    : record(shared), sourceDir(sourceFolder), destDir(destFolder) {}

CBaseInfoManager::~CBaseInfoManager() = default;

void CBaseInfoManager::SetVersion(const std::string& version) { agentVersion = version; }

std::string CBaseInfoManager::OutFileName() const { return outFile.string(); }

// ---------------------------------------------------------------- pipeline

void CBaseInfoManager::start() {
    load();
    const TemporaryFile temp(fs::temp_directory_path() / fs::unique_path(kTempModel));
    encodeInfo(temp.path);
    const std::string name = targetFileName();
    outFile = fs::path(destDir) / name;
    encrypt(temp.path, outFile);
}

void CBaseInfoManager::fillHeader(uint32_t formatVersion, uint32_t fileKind,
                                  uint32_t categoryCode) {
    const tagWMIINFOSTRUCT& info = record.systemInfo.at(0);
    header.magic = kMagic;
    header.formatVersion = formatVersion;
    header.reserved = 0;
    header.computerName = info.computerName;
    header.fileKind = fileKind;
    header.agentVersion = agentVersion;
    header.categoryCode = categoryCode;
    header.extensionFlag = 1;
    header.machineUuid = info.uuid;
}

// Copies the finished file into place, then drops the temporary one. When
// either step fails, the target this call created goes with it, so a failed
// delivery leaves no data file behind; an existing target is never touched.
void CBaseInfoManager::encrypt(const fs::path& from, const fs::path& to) {
    const bool targetExisted = fs::exists(to);
    try {
        fs::copy(from, to);
        fs::remove(from);
    } catch (...) {
        boost::system::error_code ignored;
        if (!targetExisted)
            fs::remove(to, ignored);
        throw;
    }
}

// KX-0-12YYYYMMDDhhmmss.dat (hardware), KX-0-01YYYYMMDDhhmmss.dat (software).
std::string CBaseInfoManager::targetFileName() {
    const std::string stamp = wmi::currentTime(kStampPattern);
    return wmi::format(kFileNamePattern, 0, static_cast<int>(kxFileNumber()), stamp.c_str());
}

// ---------------------------------------------------------------- encoders

void CBaseInfoManager::FormatDWORDData(uint32_t value, unsigned char* buffer, int& length) {
    if (!buffer)
        return;
    putLittleEndian(value, 4, buffer);
    length = 4;
}

void CBaseInfoManager::FormatInt64Data(int64_t value, unsigned char* buffer, int& length) {
    if (!buffer)
        return;
    putLittleEndian(static_cast<uint64_t>(value), 8, buffer);
    length = 8;
}

void CBaseInfoManager::FormatFloatData(float value, unsigned char* buffer, int& length) {
    if (!buffer)
        return;
    uint32_t bits = 0;
    static_assert(sizeof bits == sizeof value, "IEEE-754 single precision");
    std::memcpy(&bits, &value, sizeof bits);
    putLittleEndian(bits, 4, buffer);
    length = 4;
}

void CBaseInfoManager::FormatCTimeData(int64_t value, unsigned char* buffer, int& length) {
    if (!buffer)
        return;
    putLittleEndian(static_cast<uint64_t>(value), 4, buffer);
    length = 4;
}

// 0 bytes: 00 · 1..254 bytes: n, bytes · 255..4094 bytes: FF, n (16-bit), bytes.
// Longer texts are cut to 4094 bytes, even inside a two-byte character.
void CBaseInfoManager::FormatCStringData(const std::string& text, unsigned char* buffer,
                                         int& length, bool /*bodyField*/) {
    if (!buffer)
        return;
    std::string sjis = wmi::UTF8toSJIS(text);
    if (sjis.size() > static_cast<size_t>(kMaxTextBytes))
        sjis.resize(kMaxTextBytes);
    std::memset(buffer, 0, kTextBufferSize);
    const int n = static_cast<int>(sjis.size());
    if (n <= kShortTextMax) {
        buffer[0] = static_cast<unsigned char>(n);
        std::memcpy(buffer + 1, sjis.data(), n);
        length = n + 1;
    } else {
        buffer[0] = kLongTextMark;
        putLittleEndian(static_cast<uint32_t>(n), 2, buffer + 1);
        std::memcpy(buffer + 3, sjis.data(), n);
        length = n + 3;
    }
}

// magic, formatVersion, reserved, computerName, fileKind, agentVersion,
// categoryCode, startTime, endTime, and from version 10004 on extensionFlag
// and machineUuid (in that order).
void CBaseInfoManager::FormatHeaderData(const tagHEADERSTRUCT& header, unsigned char* buffer,
                                        int& length) {
    if (!buffer)
        return;
    unsigned char scratch[kTextBufferSize];
    int total = 0;
    auto append = [&](int n) {
        std::memcpy(buffer + total, scratch, n);
        total += n;
    };
    int n = 0;
    FormatCStringData(header.magic, scratch, n, false);
    append(n);
    FormatDWORDData(header.formatVersion, scratch, n);
    append(n);
    FormatDWORDData(header.reserved, scratch, n);
    append(n);
    FormatCStringData(header.computerName, scratch, n, false);
    append(n);
    FormatDWORDData(header.fileKind, scratch, n);
    append(n);
    FormatCStringData(header.agentVersion, scratch, n, false);
    append(n);
    FormatDWORDData(header.categoryCode, scratch, n);
    append(n);
    FormatCTimeData(header.startTime, scratch, n);
    append(n);
    FormatCTimeData(header.endTime, scratch, n);
    append(n);
    if (header.formatVersion >= 10004u) {
        FormatDWORDData(header.extensionFlag, scratch, n);
        append(n);
        FormatCStringData(header.machineUuid, scratch, n, false);
        append(n);
    }
    length = total;
}

// ---------------------------------------------------------------- writer

CBaseInfoManager::FieldWriter::FieldWriter(const fs::path& target)
    : file(target), out(target, std::ios::binary | std::ios::trunc) {}

void CBaseInfoManager::FieldWriter::put(int length) {
    out.write(reinterpret_cast<const char*>(buffer), length);
}

void CBaseInfoManager::FieldWriter::header(const tagHEADERSTRUCT& value) {
    int n = 0;
    FormatHeaderData(value, buffer, n);
    put(n);
}

void CBaseInfoManager::FieldWriter::dword(uint32_t value) {
    int n = 0;
    FormatDWORDData(value, buffer, n);
    put(n);
}

void CBaseInfoManager::FieldWriter::int64(int64_t value) {
    int n = 0;
    FormatInt64Data(value, buffer, n);
    put(n);
}

void CBaseInfoManager::FieldWriter::ctime(int64_t value) {
    int n = 0;
    FormatCTimeData(value, buffer, n);
    put(n);
}

void CBaseInfoManager::FieldWriter::text(const std::string& value, bool bodyField) {
    int n = 0;
    FormatCStringData(value, buffer, n, bodyField);
    put(n);
}

void CBaseInfoManager::FieldWriter::count(size_t entries) { dword(static_cast<uint32_t>(entries)); }

void CBaseInfoManager::FieldWriter::trailer() { out.write(kTrailer, std::strlen(kTrailer)); }

void CBaseInfoManager::FieldWriter::close() {
    out.close();
    if (out.fail())
        throw fs::filesystem_error(
            "cannot write the data file", file,
            boost::system::errc::make_error_code(boost::system::errc::io_error));
}
