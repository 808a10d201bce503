#include "updater/Journal.h"

#include <fstream>
#include <sstream>

#include "updater/DurableFile.h"

namespace {

const char* const header = "kxupd journal 1";

std::string Relative(const std::string& path, const std::string& workDir) {
    if (path.empty())
        return path;
    std::string prefix = workDir + "/";
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

// A path of this journal stays inside the installation folder.
bool Inside(const std::string& relative) {
    if (!relative.empty() && relative[0] == '/')
        return false;
    std::istringstream parts(relative);
    std::string part;
    while (std::getline(parts, part, '/'))
        if (part == "..")
            return false;
    return true;
}

std::string Absolute(const std::string& relative, const std::string& workDir) {
    return relative.empty() ? relative : workDir + "/" + relative;
}

} // namespace

bool WriteJournal(const std::string& path, const std::string& workDir, JournalState state,
                  const std::vector<Placement>& plan) {
    std::string text = std::string(header) + "\n" +
                       (state == JournalState::Committed ? "commit" : "prepare") + "\n";
    for (const Placement& file : plan)
        text += Relative(file.target, workDir) + "|" + Relative(file.ready, workDir) + "|" +
                Relative(file.backup, workDir) + "|" + file.name + "\n";
    // Only "commit" must be on disk before a file is placed: a "prepare"
    // lost in a power cut costs no more than the ready files left unused.
    return durable::WriteWhole(path, text, state == JournalState::Committed);
}

JournalState ReadJournal(const std::string& path, const std::string& workDir,
                         std::vector<Placement>& plan) {
    plan.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return JournalState::None;
    std::string line, phase;
    if (!std::getline(file, line) || line != header || !std::getline(file, phase) ||
        (phase != "prepare" && phase != "commit"))
        return JournalState::Damaged;
    while (std::getline(file, line)) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        std::string field;
        while (std::getline(split, field, '|'))
            fields.push_back(field);
        if (fields.size() != 4 || fields[0].empty())
            return JournalState::Damaged;
        for (int i = 0; i < 3; ++i)
            if (!Inside(fields[i]))
                return JournalState::Damaged;
        plan.push_back(Placement{fields[3], Absolute(fields[0], workDir),
                                 Absolute(fields[1], workDir), Absolute(fields[2], workDir), ""});
    }
    return phase == "commit" ? JournalState::Committed : JournalState::Prepared;
}
