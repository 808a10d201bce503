#pragma once
// A folder for one fuzzing process's input files, removed at exit. Memory-backed
// /dev/shm where there is one: the fuzzers rewrite their files every run.

#include <boost/filesystem.hpp>

namespace linuxtest {

inline boost::filesystem::path fuzzTempRoot() {
    boost::system::error_code ec;
    const boost::filesystem::path shm("/dev/shm");
    return boost::filesystem::is_directory(shm, ec) ? shm
                                                    : boost::filesystem::temp_directory_path();
}

struct FuzzFolder {
    boost::filesystem::path root =
        fuzzTempRoot() / boost::filesystem::unique_path("kx-linux-fuzz-%%%%-%%%%-%%%%");
    FuzzFolder() { boost::filesystem::create_directories(root); }
    ~FuzzFolder() {
        boost::system::error_code ec;
        boost::filesystem::remove_all(root, ec);
    }
};

} // namespace linuxtest
