// Inputs that once broke the reader, or are shaped to (see regressions/README):
// each must end in a value or in one of the reader's own exceptions. A folder
// that holds no input fails, so that one that silently empties cannot pass.
#include <boost/filesystem.hpp>
#include <boost/locale/encoding_errors.hpp>
#include <gtest/gtest.h>

#include "tests/plist/PlistTestSupport.h"

using namespace plisttest;
namespace fs = boost::filesystem;

namespace {

TEST(FuzzRegressions, EveryKeptInputReadsOrFailsCleanly) {
    const fs::path dir = fs::path(KX_SOURCE_DIR) / "tests/plist/regressions";
    int inputs = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!fs::is_regular_file(entry.path()) || entry.path().filename() == "README")
            continue;
        ++inputs;
        SCOPED_TRACE(entry.path().string());
        try {
            readFile(entry.path().string());
        } catch (const Plist::Error&) {
        } catch (const boost::locale::conv::conversion_error&) {
        }
    }
    EXPECT_GT(inputs, 0) << "no input in " << dir;
}

} // namespace
