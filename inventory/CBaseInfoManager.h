#pragma once
// The pipeline that turns one inventory into one data file (collect, encode
// into a temporary file, name it, deliver it into the output folder) and the
// field encoders both file bodies are written with.

#include <cstdint>
#include <string>

#include <boost/filesystem/path.hpp>

#include "KX_WMIStruct.h"

class CBaseInfoManager {
public:
    CBaseInfoManager(const std::string& sourceDir, const std::string& destDir, tagWMISTRUCT& record);
    virtual ~CBaseInfoManager();

    // collect → encode into a temporary file → name → deliver. Throws what
    // the file system or the collectors throw; `outFile` is set before delivery.
    virtual void start();

    void SetVersion(const std::string& version);
    std::string OutFileName() const;

    // Encoders: each writes its field into `buffer` and sets `length` to the
    // bytes written; with a null buffer they do nothing (FormatHeaderData aside).
    static void FormatDWORDData(uint32_t value, unsigned char* buffer, int& length);
    static void FormatInt64Data(int64_t value, unsigned char* buffer, int& length);
    static void FormatFloatData(float value, unsigned char* buffer, int& length);
    static void FormatCTimeData(int64_t value, unsigned char* buffer, int& length);
    // `buffer` must hold kTextBufferSize bytes. `bodyField` has no effect on the bytes.
    static void FormatCStringData(const std::string& text, unsigned char* buffer, int& length,
                                  bool bodyField);
    // `buffer` must hold kHeaderBufferSize bytes.
    static void FormatHeaderData(const tagHEADERSTRUCT& header, unsigned char* buffer, int& length);

    static constexpr int kTextBufferSize = 4097;
    static constexpr int kHeaderBufferSize = 16416;

protected:
    virtual void load() = 0;
    virtual void encodeInfo(const boost::filesystem::path& file) = 0;
    virtual void encrypt(const boost::filesystem::path& from, const boost::filesystem::path& to);
    virtual std::string targetFileName();
    virtual uint32_t kxFileNumber() = 0;

    tagWMISTRUCT& record;
    std::string sourceDir;
    std::string destDir;
    boost::filesystem::path outFile;
    tagHEADERSTRUCT header;
    std::string agentVersion;
};
