// Linux hardware collectors: text files in the source folder.
#include "CHWInfoManager.h"

void CHWInfoManager::loadSysInfo(tagWMISTRUCT&) {}
void CHWInfoManager::loadCpuInfo(tagWMISTRUCT&) {}
void CHWInfoManager::loadMemInfo(tagWMISTRUCT&) {}
void CHWInfoManager::loadDiskInfo(tagWMISTRUCT&) {}
void CHWInfoManager::loadPartitionInfo(tagWMISTRUCT&) {}
void CHWInfoManager::loadVgaInfo(tagWMISTRUCT&) {}
void CHWInfoManager::loadNicInfo(tagWMISTRUCT&) {}
void CHWInfoManager::loadOSInfo(tagWMIINFOSTRUCT&) {}
