#include "agent/CTransferCoordinator.h"

#include <ctime>
#include <exception>
#include <iostream>

#include <boost/filesystem/operations.hpp>

#include "inventory/CHWInfoManager.h"
#include "inventory/CSWInfoManager.h"
#include "common/InputFile.h"
#include "inventory/KX_WMIStruct.h"
#include "common/PrivateFile.h"
#include "common/utils.h"

namespace fs = boost::filesystem;

namespace {

const char* const kRunStarted = "実行開始...";
const char* const kHardwareReading = "ハードウェア情報読込み中...";
const char* const kHardwareDone = "ハードウェア情報作成完了";
const char* const kHardwareFailed = "ハードウェア情報作成失敗";
const char* const kSoftwareReading = "ソフトウェア情報読込み中...";
const char* const kSoftwareDone = "ソフトウェア情報作成完了";
const char* const kSoftwareFailed = "ソフトウェア情報作成失敗";
const char* const kProgress = "UPDATE_PROGRESS";

} // namespace

CTransferCoordinator::CTransferCoordinator() = default;

CTransferCoordinator::~CTransferCoordinator() { cleanup(); }

void CTransferCoordinator::setSrcDir(const std::string& dir) { srcDir = dir; }

void CTransferCoordinator::setDestDir(const std::string& dir) { destDir = dir; }

void CTransferCoordinator::setConfigDir(const std::string& dir) { configDir = dir; }

void CTransferCoordinator::setVersion(const std::string& value) {
    version = value;
    status.version = value;
}

void CTransferCoordinator::init(const std::string& sourceDir) {
    srcDir = sourceDir;
    loadConfigIni();
}

void CTransferCoordinator::start() {
    sendMessage(kRunStarted, messageParams);
    sendProgress(0, 100);
    // Managers of an earlier run hold the record they were given: drop them first.
    hwManager.reset();
    swManager.reset();
    hwRecord = std::make_unique<tagWMISTRUCT>();
    // An input the collectors will not read (a FIFO, a link, a folder, one
    // too large) counts as missing; the log says which and why, once each.
    const inputfile::RefusalLog refusals([this](const std::string& line) { log(line); });

    sendMessage(kHardwareReading, messageParams);
    runManager(hwManager, "CHWInfoManager", kHardwareDone, kHardwareFailed);

    sendMessage(kSoftwareReading, messageParams);
    runManager(swManager, "CSWInfoManager", kSoftwareDone, kSoftwareFailed);
}

template <class Manager>
void CTransferCoordinator::runManager(std::unique_ptr<Manager>& manager, const char* name,
                                      const char* done, const char* failed) {
    std::string reason;
    try {
        manager = std::make_unique<Manager>(srcDir, destDir, *hwRecord);
        manager->SetVersion(version);
        manager->start();
        producedFiles.push_back(manager->OutFileName());
        sendMessage(done, messageParams);
        return;
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason = "unknown error";
    }
    // A failed pipeline removes its temporary file and any data file it had
    // begun to deliver; a file of the same name it found in place (another
    // run's) is not ours to remove.
    managerFailure = std::string(failed) + " (" + name + "): " + reason;
    sendMessage(managerFailure, messageParams);
}

void CTransferCoordinator::cleanup() {
    clearListeners();
    hwManager.reset();
    swManager.reset();
    hwRecord.reset();
    for (const std::string& file : producedFiles) {
        boost::system::error_code ec;
        fs::remove(file, ec);
    }
    producedFiles.clear();
}

bool CTransferCoordinator::isDestDirRequired() const { return configFile().empty(); }

bool CTransferCoordinator::isValidSourceFolder() const {
    boost::system::error_code ec;
    return fs::exists(srcDir, ec) && fs::exists(fs::path(srcDir) / "os", ec);
}

bool CTransferCoordinator::isValidDestFolder() const {
    boost::system::error_code ec;
    return fs::exists(destDir, ec);
}

void CTransferCoordinator::addListener(CAbstractListener* listener) { listeners.insert(listener); }

void CTransferCoordinator::clearListeners() {
    listeners.clear();
    listeners.insert(this);
}

void CTransferCoordinator::sendMessage(const std::string& text,
                                       std::map<std::string, std::string>& params) {
    std::cout << text << '\n' << std::flush;
    for (CAbstractListener* listener : listeners)
        listener->onMessage(text, params);
    log(text);
}

void CTransferCoordinator::sendProgress(int64_t uploaded, int64_t total) {
    std::map<std::string, std::string> params{
        {"TOTAL_SIZE", wmi::format("%lld", static_cast<long long>(total))},
        {"UPLOADED_SIZE", wmi::format("%lld", static_cast<long long>(uploaded))},
    };
    sendMessage(kProgress, params);
}

void CTransferCoordinator::onMessage(const std::string& text,
                                     std::map<std::string, std::string>& params) {
    std::string entry = text;
    for (const auto& [key, value] : params)
        entry += "\n" + key + ":" + value;
    log(entry);
}

void CTransferCoordinator::onMessage(const std::string& text) { log(text); }

bool CTransferCoordinator::writeRunStatus() {
    status.ended = std::time(nullptr);
    const std::string file = (fs::path(destDir) / "last_run.json").string();
    std::string error;
    if (PrivateFile::ReplaceAtomically(file, status.ToJson(), &error))
        return true;
    std::cerr << "status file not written: " << error << std::endl;
    log("status file not written: " + error);
    return false;
}
