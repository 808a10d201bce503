#pragma once
// What the Linux collector tests share: a throw-away "result" folder, the
// real samples in tests/samples, the local time zone pinned to UTC, and
// the managers with their collectors opened up.

#include <cstdlib>
#include <ctime>
#include <map>
#include <string>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/linux/TestableManagers.h"

namespace linuxtest {

namespace fs = boost::filesystem;

// The real outputs of real machines, kept in tests/samples.
inline fs::path linuxSample(const std::string& relative) { return fs::path(KX_SAMPLES_DIR) / "linux" / relative; }

// A test whose sample is missing fails rather than passing unseen.
#define REQUIRE_SAMPLE(sample) ASSERT_TRUE(boost::filesystem::exists(sample)) << "sample not found: " << (sample)

inline void writeFile(const fs::path& file, const std::string& content) {
    fs::ofstream(file, std::ios::binary) << content;
}

// The files the collection script would leave: name → content.
using InputFiles = std::map<std::string, std::string>;

// A source folder (named "result" unless told otherwise) in a unique
// temporary folder, removed with the object.
class ResultFolder {
public:
    explicit ResultFolder(const InputFiles& files = {}, const std::string& name = "result")
        : root_(fs::temp_directory_path() / fs::unique_path("kx-linux-%%%%-%%%%-%%%%")),
          source_(root_ / name) {
        fs::create_directories(source_);
        write(files);
    }
    ~ResultFolder() {
        boost::system::error_code ec;
        fs::remove_all(root_, ec);
    }
    ResultFolder(const ResultFolder&) = delete;
    ResultFolder& operator=(const ResultFolder&) = delete;

    std::string path() const { return source_.string(); }
    void write(const std::string& name, const std::string& content) const { writeFile(source_ / name, content); }
    void write(const InputFiles& files) const {
        for (const auto& file : files)
            write(file.first, file.second);
    }
    void copy(const fs::path& sample, const std::string& name) const {
        fs::copy_file(sample, source_ / name, fs::copy_option::overwrite_if_exists);
    }

private:
    fs::path root_;
    fs::path source_;
};

// Local times in the expectations are UTC; each test runs in its own process.
class UtcZone {
public:
    UtcZone() {
        setenv("TZ", "UTC0", 1);
        tzset();
    }
};

// One collector run over the given files.
template <typename Collector>
tagWMISTRUCT collect(const InputFiles& files, Collector collector) {
    const ResultFolder folder(files);
    tagWMISTRUCT record;
    TestableHW manager(folder.path(), record);
    (manager.*collector)(record);
    return record;
}

} // namespace linuxtest
