#pragma once
// The system temporary folder (TMPDIR) pointed at a folder of the test's own
// for one scope and restored afterwards, so that whatever a run leaves there
// can be seen.

#include <cstdlib>
#include <string>

#include <boost/filesystem/path.hpp>

namespace kxtest {

class TempDirVariable {
public:
    explicit TempDirVariable(const boost::filesystem::path& folder) {
        if (const char* was = std::getenv("TMPDIR")) {
            hadValue = true;
            previous = was;
        }
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TempDirVariable() {
        if (hadValue)
            ::setenv("TMPDIR", previous.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    TempDirVariable(const TempDirVariable&) = delete;
    TempDirVariable& operator=(const TempDirVariable&) = delete;

private:
    bool hadValue = false;
    std::string previous;
};

} // namespace kxtest
