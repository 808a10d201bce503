// macOS software collector: the system_profiler application list.
#include "CSWInfoManager.h"

std::string CSWInfoManager::adobeTagDirectory = "/Library/Application Support/regid.1986-12.com.adobe/";

void CSWInfoManager::loadForMac(std::vector<tagAPPLIDATASTRUCT>&) {}
bool CSWInfoManager::AdobeDCIsPro() { return false; }
