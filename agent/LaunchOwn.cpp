// The relaunch: the program copies itself and lets the copy do the run, so
// that an update may replace "KX_InventoryAGT" while the run goes on.

#include <iostream>

#include <boost/filesystem/operations.hpp>
#include <boost/process/spawn.hpp>

#include "agent/CTransferCoordinator.h"

namespace fs = boost::filesystem;

namespace {

const char* const kProgram = "KX_InventoryAGT";
const char* const kCopy = "tmp_Inventory.exe";
const char* const kCopyArgument = "tmp";

bool fail(const std::string& why) {
    std::cout << "relaunch failed: " << why << std::endl;
    return false;
}

} // namespace

bool CTransferCoordinator::LaunchOwn() {
    boost::system::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (ec)
        return fail("no working directory: " + ec.message());
    const fs::path source = cwd / kProgram;
    const fs::path target = cwd / kCopy;
    if (!fs::is_regular_file(source, ec))
        return fail(source.string() + " not found");

    fs::remove(target, ec);
    if (ec)
        return fail("cannot remove " + target.string() + ": " + ec.message());
    fs::copy_file(source, target, fs::copy_option::fail_if_exists, ec);
    if (ec)
        return fail("cannot copy " + source.string() + " to " + target.string() + ": " +
                    ec.message());

    // spawn() detaches the child: it is neither waited for nor stopped, and
    // keeps running after this process ends.
    try {
        boost::process::spawn(target, kCopyArgument);
    } catch (const std::exception& e) {
        return fail("cannot start " + target.string() + ": " + e.what());
    }
    return true;
}
