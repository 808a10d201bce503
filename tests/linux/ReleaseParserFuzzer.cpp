// Parses a fuzzed release text ("os") and extracts versions from it.
#include <cstddef>
#include <cstdint>
#include <string>

#include <boost/filesystem.hpp>

#include "inventory/CLinuxVersionParser.h"
#include "tests/linux/FuzzFolder.h"
#include "tests/support/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const linuxtest::FuzzFolder folder;
    const boost::filesystem::path file = folder.root / "os";
    const std::string text(reinterpret_cast<const char*>(data), size);
    kxtest::writeFile(file, text);
    CLinuxVersionParser parser;
    parser.parse(file);
    CLinuxVersionParser::extractVersion(text);
    return 0;
}
