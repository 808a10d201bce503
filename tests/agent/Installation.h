#pragma once
// A throw-away installation folder for one test: the working directory while
// the test runs, with its own temporary folder (TMPDIR) so that whatever a
// run leaves there can be seen. Removed afterwards.

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

namespace kxtest {

namespace fs = boost::filesystem;

inline std::string readFile(const fs::path& file) {
    fs::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFile(const fs::path& file, const std::string& content) {
    fs::ofstream(file, std::ios::binary) << content;
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

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

inline std::string fixtures() {
    return std::string(KX_SOURCE_DIR) + "/tests/agent/fixtures";
}

class Installation : public ::testing::Test {
public:
    void SetUp() override {
        base = fs::temp_directory_path() / fs::unique_path("kx-agent-%%%%-%%%%-%%%%");
        home = base / "install";
        temp = base / "tmp";
        fs::create_directories(home);
        fs::create_directories(temp);
        previousDir = fs::current_path();
        fs::current_path(home);
        const char* tmpdir = std::getenv("TMPDIR");
        hadTmpdir = tmpdir != nullptr;
        if (hadTmpdir)
            previousTmpdir = tmpdir;
        setenv("TMPDIR", temp.c_str(), 1);
    }

    void TearDown() override {
        fs::current_path(previousDir);
        if (hadTmpdir)
            setenv("TMPDIR", previousTmpdir.c_str(), 1);
        else
            unsetenv("TMPDIR");
        boost::system::error_code ec;
        fs::remove_all(base, ec);
    }

    // "result" filled with the Linux inputs of the fixtures.
    void copyLinuxInputs() {
        fs::create_directories(home / "result");
        for (fs::directory_iterator it(fixtures() + "/linux"), end; it != end; ++it)
            fs::copy_file(it->path(), home / "result" / it->path().filename());
    }

    void writeConfig(const std::string& name, const std::string& settings) {
        writeFile(home / name, "<?xml version=\"1.0\"?>\n<KX><Config>" + settings + "</Config></KX>\n");
    }

    fs::path base;
    fs::path home;
    fs::path temp;
    fs::path previousDir;
    bool hadTmpdir = false;
    std::string previousTmpdir;
};

} // namespace kxtest
