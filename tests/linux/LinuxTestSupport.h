#pragma once
// What the Linux collector tests share: a throw-away "result" folder, the
// real samples in tests/samples, and one collector run over given files.

#include <map>
#include <string>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/support/Files.h"
#include "tests/support/LocalZone.h"
#include "tests/support/OpenManagers.h"
#include "tests/support/TempFolder.h"

namespace linuxtest {

namespace fs = boost::filesystem;

// The real outputs of real machines, kept in tests/samples.
inline fs::path linuxSample(const std::string& relative) {
    return fs::path(KX_SAMPLES_DIR) / "linux" / relative;
}

// A test whose sample is missing fails rather than passing unseen.
#define REQUIRE_SAMPLE(sample)                                                                     \
    ASSERT_TRUE(boost::filesystem::exists(sample)) << "sample not found: " << (sample)

using kxtest::OpenHWManager;
using kxtest::OpenSWManager;

// The files the collection script would leave: name → content.
using InputFiles = std::map<std::string, std::string>;

// A source folder (named "result" unless told otherwise) in a unique
// temporary folder, removed with the object.
class ResultFolder {
public:
    explicit ResultFolder(const InputFiles& files = {}, const std::string& name = "result")
        : source(root / name) {
        fs::create_directories(source);
        write(files);
    }

    std::string path() const { return source.string(); }
    void write(const std::string& name, const std::string& content) const {
        kxtest::writeFile(source / name, content);
    }
    void write(const InputFiles& files) const {
        for (const auto& file : files)
            write(file.first, file.second);
    }
    void copy(const fs::path& sample, const std::string& name) const {
        fs::copy_file(sample, source / name, fs::copy_option::overwrite_if_exists);
    }

private:
    kxtest::TempFolder root{"kx-linux"};
    fs::path source;
};

// One collector run over the given files.
template <typename Collector>
tagWMISTRUCT collect(const InputFiles& files, Collector collector) {
    const ResultFolder folder(files);
    tagWMISTRUCT record;
    OpenHWManager manager(folder.path(), record);
    (manager.*collector)(record);
    return record;
}

} // namespace linuxtest
