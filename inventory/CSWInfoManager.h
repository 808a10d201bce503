#pragma once
// The software manager: the installed applications (macOS application list,
// or the Linux package lists) written as the software data file.

#include <vector>

#include "inventory/CBaseInfoManager.h"

class CSWInfoManager : public CBaseInfoManager {
public:
    // `tagFolder`: where Acrobat's software-identification tag files are
    // looked for (Adobe's folder on a Mac unless told otherwise).
    CSWInfoManager(const std::string& sourceFolder, const std::string& destFolder,
                   tagWMISTRUCT& shared, const std::string& tagFolder = kAdobeTagDirectory);

    // The software header values; throws std::out_of_range without a systemInfo entry.
    void buildHeader();

    const std::vector<tagAPPLIDATASTRUCT>& Applications() const { return applications; }

    static constexpr uint32_t kFormatVersion = 10004;
    static constexpr uint32_t kFileKind = 1;
    static constexpr uint32_t kCategoryCode = 1;
    static constexpr const char* kAdobeTagDirectory =
        "/Library/Application Support/regid.1986-12.com.adobe/";

protected:
    void load() override;
    void encodeInfo(const boost::filesystem::path& file) override;
    uint32_t kxFileNumber() override;

    // macOS (mac/)
    void loadForMac(std::vector<tagAPPLIDATASTRUCT>& out);
    bool AdobeDCIsPro();

    // Linux (linux/)
    void loadForUbuntu(std::vector<tagAPPLIDATASTRUCT>& out);
    void loadForRestDists(std::vector<tagAPPLIDATASTRUCT>& out);

    std::vector<tagAPPLIDATASTRUCT> applications;

private:
    std::string adobeTagDirectory;
};
