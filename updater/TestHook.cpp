#include "updater/TestHook.h"

#include <csignal>
#include <cstdlib>

bool FaultAt(const std::string& point) {
    const char* kill = std::getenv("KX_TEST_KILL_AT");
    if (kill && point == kill)
        std::raise(SIGKILL);
    const char* fail = std::getenv("KX_TEST_FAIL_AT");
    return fail && point == fail;
}
