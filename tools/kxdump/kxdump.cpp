// kxdump FILE: prints a KX20 data file (hardware or software) as JSON.
// Exit status 0 when printed; 1 when the file cannot be read or is not one
// complete data file (said on standard error, with the system's reason for
// a file that cannot be read); 2 for a wrong command line. Only a regular
// file of at most kLargestFile bytes is read: a FIFO, a device or a larger
// file is refused before reading, so kxdump neither blocks nor fills memory.

#include <cstdint>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "common/InputFile.h"
#include "tools/kxdump/KxReader.h"
#include "common/Version.h"

namespace {

const char* const kUsage = "usage: kxdump FILE\n";
const char* const kHelp =
    "usage: kxdump FILE\n"
    "Prints a KX20 inventory data file (hardware or software) as JSON, texts in UTF-8.\n"
    "Exit status: 0 printed, 1 the file cannot be read or is not a complete data file,\n"
    "2 wrong command line.\n"
    "  --help     print this text\n"
    "  --version  print the version\n";

// Far above any data file the agent writes (a few MiB for the largest software lists).
constexpr uint64_t kLargestFile = uint64_t(64) << 20;

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
            std::cout << kHelp;
            return 0;
        }
        if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
            std::cout << "kxdump " << KX_VERSION << '\n';
            return 0;
        }
        if (argc != 2) {
            std::cerr << kUsage;
            return 2;
        }
        const std::string name = argv[1];
        const inputfile::Contents file =
            inputfile::readRegularFile(name, kLargestFile, inputfile::Links::Followed);
        if (file.status != inputfile::Contents::Status::Read) {
            std::cerr << "kxdump: " << name << ": " << file.reason << '\n';
            return 1;
        }
        try {
            std::cout << kx::readDataFile(file.bytes).dump(2) << '\n';
        } catch (const kx::FormatError& e) {
            std::cerr << "kxdump: " << name << ": " << e.what() << '\n';
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "kxdump: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
