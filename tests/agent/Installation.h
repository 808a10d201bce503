#pragma once
// A throw-away installation folder for one test: the working directory while
// the test runs, with its own temporary folder (TMPDIR) so that whatever a
// run leaves there can be seen. Removed afterwards.

#include <set>
#include <string>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/support/Files.h"
#include "tests/support/TempDirVariable.h"
#include "tests/support/TempFolder.h"

namespace kxtest {

namespace fs = boost::filesystem;

// Every path under `root`, relative to it, folders marked with a trailing "/".
inline std::set<std::string> tree(const fs::path& root) {
    std::set<std::string> result;
    for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
        std::string name = fs::relative(it->path(), root).generic_string();
        if (fs::is_directory(it->symlink_status()))
            name += "/";
        result.insert(name);
    }
    return result;
}

inline std::string fixtures() { return std::string(KX_SOURCE_DIR) + "/tests/agent/fixtures"; }

class Installation : public ::testing::Test {
public:
    void SetUp() override {
        fs::create_directories(home);
        fs::create_directories(temp);
        previousDir = fs::current_path();
        fs::current_path(home);
    }

    // The folder itself goes with `scratch`, once the test has left it.
    void TearDown() override { fs::current_path(previousDir); }

    // "result" filled with the Linux inputs of the fixtures.
    void copyLinuxInputs() {
        fs::create_directories(home / "result");
        for (fs::directory_iterator it(fixtures() + "/linux"), end; it != end; ++it)
            fs::copy_file(it->path(), home / "result" / it->path().filename());
    }

    void writeConfig(const std::string& name, const std::string& settings) {
        writeFile(home / name,
                  "<?xml version=\"1.0\"?>\n<KX><Config>" + settings + "</Config></KX>\n");
    }

private:
    TempFolder scratch{"kx-agent"};

public:
    fs::path base = scratch.path();
    fs::path home = base / "install";
    fs::path temp = base / "tmp";
    fs::path previousDir;

private:
    TempDirVariable tmpdir{temp};
};

} // namespace kxtest
