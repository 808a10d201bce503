// macOS hardware collectors: system_profiler property lists in the source folder.
#include "CHWInfoManager.h"

void CHWInfoManager::loadSysInfo_mac(tagWMISTRUCT&) {}
void CHWInfoManager::loadMemInfo_mac(tagWMISTRUCT&) {}
void CHWInfoManager::loadDiskInfo_mac(tagWMISTRUCT&) {}
void CHWInfoManager::loadPartitionInfo_mac(tagWMISTRUCT&) {}
void CHWInfoManager::loadVgaInfo_mac(tagWMISTRUCT&) {}
void CHWInfoManager::loadNicInfo_mac(tagWMISTRUCT&) {}
