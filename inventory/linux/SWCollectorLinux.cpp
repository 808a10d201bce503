// Linux software collectors: package lists in the source folder.
#include "CSWInfoManager.h"

void CSWInfoManager::loadForUbuntu(std::vector<tagAPPLIDATASTRUCT>&) {}
void CSWInfoManager::loadForRestDists(std::vector<tagAPPLIDATASTRUCT>&) {}
