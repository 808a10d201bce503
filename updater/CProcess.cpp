#include "CProcess.h"

#include <cstdlib>

int Process::Create(const char* command, bool) { return std::system(command); }

bool Process::KillByName(const char*) { return false; }
