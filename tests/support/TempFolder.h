#pragma once
// A folder of its own for one test, removed with everything in it afterwards.

#include <string>

#include <boost/filesystem.hpp>

namespace kxtest {

class TempFolder {
public:
    // `prefix` names the folder, so a folder a failed test leaves behind
    // shows where it came from.
    explicit TempFolder(const std::string& prefix = "kx-test")
        : root(boost::filesystem::temp_directory_path() /
               boost::filesystem::unique_path(prefix + "-%%%%-%%%%-%%%%")) {
        boost::filesystem::create_directories(root);
    }
    ~TempFolder() {
        boost::system::error_code ignored;
        boost::filesystem::remove_all(root, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const boost::filesystem::path& path() const { return root; }
    boost::filesystem::path operator/(const std::string& name) const { return root / name; }

private:
    boost::filesystem::path root;
};

} // namespace kxtest
