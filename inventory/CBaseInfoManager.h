#pragma once
// The pipeline that turns one inventory into one data file (collect, encode
// into a temporary file, name it, deliver it into the output folder) and the
// field encoders both file bodies are written with.

#include <cstdint>
#include <string>

#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/path.hpp>

#include "inventory/KX_WMIStruct.h"

class CBaseInfoManager {
public:
    CBaseInfoManager(const std::string& sourceFolder, const std::string& destFolder,
                     tagWMISTRUCT& shared);
    virtual ~CBaseInfoManager();

    // collect → encode into a temporary file → name → deliver. Throws what
    // the file system or the collectors throw; `outFile` is set before
    // delivery. The temporary file never outlives the call, also when a step
    // throws.
    virtual void start();

    void SetVersion(const std::string& version);
    std::string OutFileName() const;

    // Encoders: each writes its field into `buffer` and sets `length` to the
    // bytes written; with a null buffer they do nothing and leave `length`.
    static void FormatDWORDData(uint32_t value, unsigned char* buffer, int& length);
    static void FormatInt64Data(int64_t value, unsigned char* buffer, int& length);
    static void FormatFloatData(float value, unsigned char* buffer, int& length);
    // The low 32 bits of the seconds.
    static void FormatCTimeData(int64_t value, unsigned char* buffer, int& length);
    // Shift_JIS with a 1-byte (0..254) or 0xFF + 16-bit length prefix, cut to
    // kMaxTextBytes. `buffer` must hold kTextBufferSize bytes. `bodyField` has
    // no effect on the bytes.
    static void FormatCStringData(const std::string& text, unsigned char* buffer, int& length,
                                  bool bodyField);
    // The whole header; `buffer` must hold kHeaderBufferSize bytes.
    static void FormatHeaderData(const tagHEADERSTRUCT& header, unsigned char* buffer, int& length);

    static constexpr int kTextBufferSize = 4097;
    static constexpr int kMaxTextBytes = 4094;
    static constexpr int kHeaderBufferSize = 16416;

    static constexpr const char* kMagic = "KX20";
    static constexpr const char* kTrailer = "KX20EOF";

protected:
    virtual void load() = 0;
    virtual void encodeInfo(const boost::filesystem::path& file) = 0;
    virtual void encrypt(const boost::filesystem::path& from, const boost::filesystem::path& to);
    virtual std::string targetFileName();
    virtual uint32_t kxFileNumber() = 0;

    // The header fields both kinds fill alike: the magic, the agent version
    // and the machine's name and UUID from the first system entry (throws
    // std::out_of_range when there is none), with the kind's own numbers.
    void fillHeader(uint32_t formatVersion, uint32_t fileKind, uint32_t categoryCode);

    // Writes a data file field by field, each through its encoder, straight
    // to the stream. `close` throws when any write failed, so a cut-off file
    // is never delivered.
    class FieldWriter {
    public:
        explicit FieldWriter(const boost::filesystem::path& target);
        void header(const tagHEADERSTRUCT& header);
        void dword(uint32_t value);
        void int64(int64_t value);
        void ctime(int64_t value);
        void text(const std::string& text, bool bodyField = true);
        void count(size_t entries);
        void trailer(); // "KX20EOF", raw
        void close();

    private:
        void put(int length);

        boost::filesystem::path file;
        boost::filesystem::ofstream out;
        unsigned char buffer[kHeaderBufferSize];
    };

    tagWMISTRUCT& record;
    std::string sourceDir;
    std::string destDir;
    boost::filesystem::path outFile;
    tagHEADERSTRUCT header;
    std::string agentVersion;
};
