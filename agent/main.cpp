// KX_InventoryAGT: without an argument it relaunches a copy of itself; with
// any argument it runs the collection script, writes the hardware and the
// software data files, uploads them and deletes them again.

#include <cstdlib>
#include <exception>
#include <iostream>

#include <boost/filesystem/operations.hpp>

#include "CTransferCoordinator.h"
#include "RunLock.h"

namespace {

const char* const kScript = "./macInventory.sh a";
const char* const kVersion = "1.0.0.2";

void runOnce() {
    const boost::filesystem::path cwd = boost::filesystem::current_path();
    const boost::filesystem::path result = cwd / "result";

    // Another run in this folder would share "result" and the data files.
    const RunLock lock;
    if (!lock.acquired()) {
        std::cout << "another run is in progress in " << cwd.string() << std::endl;
        return;
    }

    // The script's exit status tells nothing the result files don't.
    (void)std::system(kScript);

    CTransferCoordinator coordinator;
    coordinator.setConfigDir(cwd.string());
    coordinator.setSrcDir(cwd.string());
    coordinator.init(result.string());
    coordinator.setVersion(kVersion);
    coordinator.start();
    if (!coordinator.upload())
        std::cout << "upload err" << std::endl;
    coordinator.cleanup();
}

} // namespace

int main(int argc, char* /*argv*/[]) {
    std::cout << "start" << std::endl;
    if (argc == 1) {
        CTransferCoordinator::LaunchOwn();
    } else {
        try {
            runOnce();
        } catch (const std::exception& e) {
            std::cout << "run failed: " << e.what() << std::endl;
        }
    }
    std::cout << "end" << std::endl;
    return 0;
}
