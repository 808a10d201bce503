#include "updater/Updater.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <boost/filesystem.hpp>

#include "common/IniWrapXml.h"
#include "updater/CProcess.h"
#include "common/KnownSettings.h"
#include "updater/Logger.h"

namespace fs = boost::filesystem;

namespace {

const int valueSize = 1024;
const int maxCommands = 9;

bool IsWithin(const fs::path& path, const fs::path& root) {
    auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end() && pathAt != path.end();
}

} // namespace

Updater::Updater() : Updater([](unsigned seconds) { ::sleep(seconds); }) {}

Updater::Updater(Sleep pause)
    : iniFileName("update.ini"), stagingDirName("updatetmp"), sleep(std::move(pause)) {
    if (const char* test = std::getenv("KX_TEST_RUN_BUDGET"))
        runBudget = std::chrono::seconds(std::strtol(test, nullptr, 10));
    Init();
}

bool Updater::OutOfTime() const {
    return std::chrono::steady_clock::now() - runStarted >= runBudget;
}

Retry Updater::Attempts(const RetryPlan& steps) const {
    return Retry(steps, sleep, [this] { return OutOfTime(); });
}

Updater::~Updater() {
    // A run that ended early on an exception still leaves its status.
    if (status.started != 0 && !statusWritten) {
        if (status.detail.empty())
            status.detail = "the run ended early";
        WriteStatus();
    }
}

bool Updater::Init() {
    boost::system::error_code error;
    workDir = fs::current_path(error).string();
    std::string config = (fs::path(workDir) / "config.ini").string();
    std::string update = (fs::path(workDir) / iniFileName).string();

    IniWrapXml::GetPrivateProfileString("Config", "Server", "", server, valueSize, config.c_str());
    port = IniWrapXml::GetPrivateProfileInt("Config", "Port", 80, config.c_str());
    hostId = IniWrapXml::GetPrivateProfileInt("Config", "HostID", 0, config.c_str());
    ssl = IniWrapXml::GetPrivateProfileInt("Config", "SSL", 0, config.c_str()) != 0;
    IniWrapXml::GetPrivateProfileString("Update", "List", "", listPath, valueSize, update.c_str());
    IniWrapXml::GetPrivateProfileString("Update", "ListHash", "", listHashPath, valueSize,
                                        update.c_str());
    IniWrapXml::GetPrivateProfileString("Update", "Modules", "", modulesPath, valueSize,
                                        update.c_str());
    IniWrapXml::GetPrivateProfileString("Update", "Complete", "", completePath, valueSize,
                                        update.c_str());
    IniWrapXml::GetPrivateProfileString("Update", "Log", "", logPath, valueSize, update.c_str());
    IniWrapXml::GetPrivateProfileString("Update", "Manifest", "", manifestPath, valueSize,
                                        update.c_str());
    ReadCommands("Stop", stopCommands);
    ReadCommands("Start", startCommands);
    // A file that is not read, or a name that is ignored, is said in the log.
    for (const std::string& problem : IniWrapXml::Check(config.c_str(), KnownSettings::ConfigIni()))
        Logger::Write("%s", problem.c_str());
    for (const std::string& problem : IniWrapXml::Check(update.c_str(), KnownSettings::UpdateIni()))
        Logger::Write("%s", problem.c_str());
    ReadTransferSettings(config, update);
    return true;
}

// The certificate check ("SSLVerify" 0/1, "CAFile", "PinnedPublicKey" in
// config.ini) and the largest module file ("MaxFileMB" in update.ini, in MiB;
// 2048 when absent or not a positive number), for every transfer of the run.
void Updater::ReadTransferSettings(const std::string& config, const std::string& update) {
    Downloader::Settings settings;
    settings.tls.verify =
        IniWrapXml::GetPrivateProfileInt("Config", "SSLVerify", 0, config.c_str()) != 0;
    IniWrapXml::GetPrivateProfileString("Config", "CAFile", "", settings.tls.caFile, valueSize,
                                        config.c_str());
    IniWrapXml::GetPrivateProfileString("Config", "PinnedPublicKey", "",
                                        settings.tls.pinnedPublicKey, valueSize, config.c_str());
    std::string maxFile;
    IniWrapXml::GetPrivateProfileString("Update", "MaxFileMB", "", maxFile, valueSize,
                                        update.c_str());
    char* end = nullptr;
    const unsigned long long megabytes = std::strtoull(maxFile.c_str(), &end, 10);
    if (!maxFile.empty() && *end == '\0' && megabytes > 0 && megabytes <= 1024 * 1024)
        settings.maxFileBytes = megabytes * TransferPolicy::MiB;
    Downloader::Configure(settings);
}

// "Command1" … "Command9" in order; the first empty or missing one ends the list.
void Updater::ReadCommands(const char* section, std::vector<std::string>& commands) {
    std::string update = (fs::path(workDir) / iniFileName).string();
    commands.clear();
    for (int number = 1; number <= maxCommands; ++number) {
        std::string key = "Command" + std::to_string(number);
        std::string command;
        IniWrapXml::GetPrivateProfileString(section, key.c_str(), "", command, valueSize,
                                            update.c_str());
        if (command.empty())
            break;
        commands.push_back(command);
    }
}

bool Updater::LaunchOwn(std::string& message) {
    boost::system::error_code error;
    fs::path here = fs::current_path(error);
    fs::path source = here / "KX_Updater";
    fs::path target = here / "tmp_Updater.exe";
    fs::remove(target, error);
    if (error) {
        message = "LaunchOwn: cannot remove " + target.string() + ": " + error.message();
        return false;
    }
    if (!fs::copy_file(source, target, fs::copy_options::none, error)) {
        message = "LaunchOwn: cannot copy " + source.string() + ": " + error.message();
        return false;
    }
    int code = Process::StartDetached(target.string());
    message = std::strerror(code);
    return code == 0;
}

std::string Updater::StagingDir() const { return (fs::path(workDir) / stagingDirName).string(); }

// Downloads lie in a folder of their own, so that no module name can meet the
// updater's own files ("list.txt", the journal).
std::string Updater::StagedFile(const _updateListData& entry) const {
    return (fs::path(StagingDir()) / "modules" / entry.name).string();
}

std::string Updater::JournalFile() const { return (fs::path(StagingDir()) / "journal").string(); }

// One log line per refused entry; a hostile list of many thousand entries
// costs the check step's log a hundred lines and a count (CheckList ends it).
void Updater::Refused(const char* step, const _updateListData& entry, const char* reason) {
    if (std::string(step) == "CheckList" && ++refusals > maxRefusalLines)
        return; // counted in the log; the status file keeps its size too
    Logger::Write("%s: refused [%s] dir [%s]: %s", step, entry.name.c_str(), entry.dir.c_str(),
                  reason);
    status.Note(entry.name, entry.dir, "refused", reason);
}

bool Updater::InstalledFile(const _updateListData& entry, const char* step, std::string& path) {
    fs::path installed = fs::path(workDir);
    if (!entry.dir.empty() && entry.dir != ".")
        installed /= entry.dir;
    installed /= entry.name;

    const char* reason = UntrustedPathReason(entry);
    if (!reason) {
        boost::system::error_code rootError, pathError, linkError;
        fs::path root = fs::canonical(workDir, rootError);
        fs::path real = fs::weakly_canonical(installed, pathError);
        bool dangling = fs::is_symlink(fs::symlink_status(installed, linkError)) &&
                        !fs::exists(fs::status(installed, linkError));
        if (rootError || pathError)
            reason = "path cannot be resolved";
        else if (dangling || !IsWithin(real, root))
            reason = "path leads out of the working directory";
        else if (IsWithin(real, root / stagingDirName))
            reason = "path lies in the staging directory";
    }
    if (reason) {
        Refused(step, entry, reason);
        return false;
    }
    path = installed.string();
    return true;
}

bool Updater::WasDownloaded(const _updateListData& entry) const {
    return std::any_of(downloadedEntries.begin(), downloadedEntries.end(),
                       [&](const _updateListData& accepted) {
                           return accepted.name == entry.name && accepted.dir == entry.dir;
                       });
}
