#pragma once
// The record of one update transaction, kept in the staging folder while the
// transaction may have touched anything, so that a run interrupted by a kill
// or a power cut is undone by the next run before it does anything else.
//
//   kxupd journal 1
//   prepare                      (or "commit" once files start to be placed)
//   <target>|<ready>|<backup>|<name>
//
// one line per file, paths relative to the installation folder: the installed
// file, the new file waiting beside it (empty: the target is removed), the
// backup of the old file (empty: there was none), and the entry's name. The
// journal is replaced whole and flushed to disk each time it changes.

#include <string>
#include <vector>

// One file of the transaction (absolute paths).
struct Placement {
    std::string name;   // the list entry's name, for the log
    std::string target; // the installed file
    std::string ready;  // the new file beside the target; empty: the target is removed
    std::string backup; // where the old file is kept; empty: there is no old file
    std::string staged; // where the download lies (not journaled)
};

enum class JournalState {
    None,      // no journal: nothing was interrupted
    Prepared,  // files were being made ready; no installed file was touched
    Committed, // files were being put in place
    Damaged,   // a journal that cannot be read back
};

bool WriteJournal(const std::string& path, const std::string& workDir, JournalState state,
                  const std::vector<Placement>& plan);
JournalState ReadJournal(const std::string& path, const std::string& workDir,
                         std::vector<Placement>& plan);
