// Real system_profiler lists: every one reads, and reads to the same tree
// after Python's plistlib has turned it into a binary list.
#include <cstdlib>

#include <boost/algorithm/string/replace.hpp>
#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/plist/PlistTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace plisttest;
namespace fs = boost::filesystem;

namespace {

// The real system_profiler lists kept in tests/samples.
fs::path samplesDir() { return fs::path(KX_SAMPLES_DIR) / "macos"; }

std::vector<fs::path> sampleLists() {
    std::vector<fs::path> lists;
    if (!fs::is_directory(samplesDir()))
        return lists;
    for (const auto& entry : fs::recursive_directory_iterator(samplesDir()))
        if (entry.path().extension() == ".xml")
            lists.push_back(entry.path());
    std::sort(lists.begin(), lists.end());
    return lists;
}

std::string quoted(const fs::path& path) {
    return "'" + boost::replace_all_copy(path.string(), "'", "'\\''") + "'";
}

TEST(SystemProfilerSamples, EveryListReadsToTheSameTreeInBothSyntaxes) {
    const std::vector<fs::path> lists = sampleLists();
    ASSERT_FALSE(lists.empty()) << "no samples in " << samplesDir();
    if (std::system("python3 -c 'import plistlib' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 with plistlib is missing";

    // One python3 run converts every list: argv holds (input, output) pairs.
    const kxtest::TempFolder dir("kx-plist");
    const fs::path& work = dir.path();
    std::string convert = "python3 -c 'import plistlib, sys\n"
                          "for i in range(1, len(sys.argv), 2):\n"
                          "    plistlib.dump(plistlib.load(open(sys.argv[i], \"rb\")), "
                          "open(sys.argv[i + 1], \"wb\"), "
                          "fmt=plistlib.FMT_BINARY)'";
    std::vector<fs::path> binaries;
    for (const fs::path& list : lists) {
        binaries.push_back(work / (std::to_string(binaries.size()) + ".bplist"));
        convert += " " + quoted(list) + " " + quoted(binaries.back());
    }
    const int converted = std::system(convert.c_str());

    for (size_t i = 0; i < lists.size(); ++i) {
        SCOPED_TRACE(lists[i].string());
        boost::any xml;
        ASSERT_NO_THROW(xml = readFile(lists[i].string()));
        ASSERT_EQ(converted, 0);
        boost::any fromBinary;
        ASSERT_NO_THROW(fromBinary = readFile(binaries[i].string()));
        EXPECT_EQ(difference(xml, fromBinary), "");
    }
}

} // namespace
