#include "updater/File.h"

bool File::GetVersion(const char*, std::string& version) {
    version = "0";
    return false;
}
