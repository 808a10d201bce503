#pragma once
// The run controller: reads the settings, drives the hardware and software
// managers, uploads their data files, deletes them again, and reports every
// step to standard output, to its listeners and to the daily log.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "agent/CAbstractListener.h"
#include "agent/RunStatus.h"

class CHWInfoManager;
class CSWInfoManager;
struct tagWMISTRUCT;

class CTransferCoordinator final : public CAbstractListener {
public:
    CTransferCoordinator();
    ~CTransferCoordinator();
    CTransferCoordinator(const CTransferCoordinator&) = delete;
    CTransferCoordinator& operator=(const CTransferCoordinator&) = delete;

    void setSrcDir(const std::string& dir);
    void setDestDir(const std::string& dir);
    void setConfigDir(const std::string& dir);
    void setVersion(const std::string& version);

    // srcDir = `sourceDir`, then the settings (which fix destDir and prune the log).
    void init(const std::string& sourceDir);
    // Runs the hardware manager, then the software manager. A manager that
    // fails is reported and contributes no data file; the run goes on.
    void start();
    // Sends the produced data files to the server (Upload.cpp); true when
    // there was nothing to send or every file was stored.
    bool upload();
    // Frees the managers and the record and deletes the data files. Idempotent.
    void cleanup();

    // Copies "KX_InventoryAGT" to "tmp_Inventory.exe" in the working
    // directory and starts the copy detached with the argument "tmp". On
    // failure prints one line saying why and returns false.
    static bool LaunchOwn();

    // True when there is no "Config.ini" in configDir (no upload).
    bool isDestDirRequired() const;
    bool isValidSourceFolder() const;
    bool isValidDestFolder() const;

    void addListener(CAbstractListener* listener);
    void clearListeners();

    // Standard output, then every listener (ascending pointer order), then the log.
    void sendMessage(const std::string& text, std::map<std::string, std::string>& params);
    void sendProgress(int64_t uploaded, int64_t total);
    void onMessage(const std::string& text, std::map<std::string, std::string>& params) override;
    void onMessage(const std::string& text) override;

    void loadConfigIni();
    // Appends "<stamp>|<text>" to today's "kxinv_YYYYMMDD.log" in destDir.
    void log(const std::string& text);
    // Keeps the newest 30 "kxinv_" files of destDir (today's always), deletes the rest.
    void logDelete();

    // The configuration file in configDir: "config.ini", or failing that the
    // one entry whose name matches it in any letter case; empty when there is none.
    std::string configFile() const;

    // What the run did so far: the upload fills in its outcome and the files.
    RunStatus& runStatus() { return status; }
    // Writes runStatus() (end time now) as "last_run.json" beside the log;
    // a failure is said on standard error and in the log.
    bool writeRunStatus();

    // What the run was set up with (for callers and tests).
    const std::string& srcDirectory() const { return srcDir; }
    const std::string& destDirectory() const { return destDir; }
    const std::vector<std::string>& files() const { return producedFiles; }
    bool managersAlive() const { return hwRecord || hwManager || swManager; }
    const std::string& serverName() const { return server; }
    int32_t serverPort() const { return port; }
    bool usesSsl() const { return ssl; }
    const std::string& login() const { return username; }
    const std::string& loginPassword() const { return password; }

private:
    // Creates, runs and keeps one manager; on failure reports it, removes
    // what it left and returns without a data file.
    template <class Manager>
    void runManager(std::unique_ptr<Manager>& manager, const char* name, const char* done,
                    const char* failed);

    std::map<std::string, std::string> messageParams;
    std::string srcDir;
    std::string destDir;
    std::string configDir;
    std::vector<std::string> producedFiles;
    std::string version;
    std::string server;
    int32_t port = 80;
    bool ssl = false;
    std::string username;
    std::string password;
    // Verified TLS: "SSLVerify", "CAFile", "PinnedPublicKey".
    bool sslVerify = false;
    std::string caFile;
    std::string pinnedPublicKey;
    std::unique_ptr<tagWMISTRUCT> hwRecord;
    std::unique_ptr<CHWInfoManager> hwManager;
    std::unique_ptr<CSWInfoManager> swManager;
    std::set<CAbstractListener*> listeners;
    // False when "log" is unusable (not a directory, cannot be created): entries are dropped.
    bool logWritable = true;
    RunStatus status;
    // Why a manager made no data file (the last one), empty when both did.
    std::string managerFailure;
};
