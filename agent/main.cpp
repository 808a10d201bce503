// KX_InventoryAGT: without an argument it relaunches a copy of itself; with
// any argument it runs the collection script, writes the hardware and the
// software data files, uploads them and deletes them again.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <iostream>
#include <map>
#include <new>
#include <string>

#include <boost/filesystem/operations.hpp>

#include "agent/CollectionScript.h"
#include "agent/CTransferCoordinator.h"
#include "common/RunLock.h"

namespace {

const char* const kVersion = "1.0.0.2";
const char* const kScriptName = "macInventory.sh";

// Why the collection script cannot run, or empty when it can.
std::string scriptProblem(const boost::filesystem::path& script) {
    struct stat info;
    if (::stat(script.c_str(), &info) != 0)
        return "collection script missing: " + script.string() + ": " + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return "collection script cannot be run: " + script.string() + ": not a file";
    if (::access(script.c_str(), X_OK) != 0)
        return "collection script cannot be run: " + script.string() + ": " + std::strerror(errno);
    return std::string();
}

void runOnce() {
    const boost::filesystem::path cwd = boost::filesystem::current_path();
    const boost::filesystem::path result = cwd / "result";

    // Another run in this folder would share "result" and the data files.
    const RunLock lock;
    if (!lock.acquired()) {
        std::cout << "another run is in progress in " << cwd.string() << std::endl;
        return;
    }

    const std::time_t started = std::time(nullptr);
    ScriptRun script;
    script.message = scriptProblem(cwd / kScriptName);
    if (script.message.empty())
        script = runCollectionScript();

    CTransferCoordinator coordinator;
    coordinator.runStatus().started = started;
    coordinator.setConfigDir(cwd.string());
    coordinator.setSrcDir(cwd.string());
    coordinator.init(result.string());
    coordinator.setVersion(kVersion);
    if (!script.message.empty()) {
        std::map<std::string, std::string> none;
        coordinator.sendMessage(script.message, none);
    }
    if (!script.message.empty()) {
        // What a stopped script left in "result" is no inventory to send, nor
        // what an earlier run left there when the script did not run.
        coordinator.runStatus().outcome = RunOutcome::NoCollection;
        coordinator.runStatus().detail = script.message;
    } else {
        try {
            coordinator.start();
            if (!coordinator.upload()) {
                std::cout << "upload err" << std::endl;
                coordinator.log("upload err");
            }
        } catch (const std::exception& e) {
            std::cout << "run failed: " << e.what() << std::endl;
            coordinator.runStatus().outcome = RunOutcome::RunFailed;
            coordinator.runStatus().detail = e.what();
        }
    }
    coordinator.cleanup();
    coordinator.writeRunStatus();
}

const char* const kHelp =
    "usage: KX_InventoryAGT [ARGUMENT]\n"
    "Collects this machine's hardware and software inventory and uploads it to\n"
    "the server named in config.ini. Works in the current directory, which must\n"
    "be the installation folder.\n"
    "  (no argument)  start the copy \"tmp_Inventory.exe tmp\", which does the run\n"
    "  ARGUMENT       any other argument: do the run in this process\n"
    "  --help         print this text\n"
    "  --version      print the version\n"
    "The run's log is log/kxinv_YYYYMMDD.log; its outcome log/last_run.json.\n";

// The last resort: whatever went wrong (out of memory included) is said on
// standard output and in the log, and the program still ends as always.
void reportFailure(const char* what) {
    try {
        std::cout << "run failed: " << what << std::endl;
        CTransferCoordinator logger;
        logger.setConfigDir(boost::filesystem::current_path().string());
        logger.loadConfigIni();
        logger.log(std::string("run failed: ") + what);
    } catch (...) {
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // Asked what the program is: answered without a run.
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << kHelp;
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "KX_InventoryAGT " << kVersion << std::endl;
        return 0;
    }
    std::cout << "start" << std::endl;
    try {
        // Tests reach the last resort through this hook.
        if (std::getenv("KX_TEST_OUT_OF_MEMORY"))
            throw std::bad_alloc();
        if (argc == 1)
            CTransferCoordinator::LaunchOwn();
        else
            runOnce();
    } catch (const std::exception& e) {
        reportFailure(e.what());
    } catch (...) {
        reportFailure("unknown error");
    }
    std::cout << "end" << std::endl;
    return 0;
}
