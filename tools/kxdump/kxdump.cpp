// kxdump FILE: prints a KX20 data file (hardware or software) as JSON.
// Exit status 0 when printed; 1 when the file cannot be read or is not one
// complete data file (said on standard error, with the system's reason for
// a file that cannot be read); 2 for a wrong command line.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "KxReader.h"
#include "Version.h"

namespace {

const char* const kUsage = "usage: kxdump FILE\n";
const char* const kHelp =
    "usage: kxdump FILE\n"
    "Prints a KX20 inventory data file (hardware or software) as JSON, texts in UTF-8.\n"
    "Exit status: 0 printed, 1 the file cannot be read or is not a complete data file,\n"
    "2 wrong command line.\n"
    "  --help     print this text\n"
    "  --version  print the version\n";

// The whole file; false with the system's reason when it cannot be read.
bool readWhole(const std::string& name, std::string& content, std::string& reason) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) {
        reason = std::strerror(errno);
        return false;
    }
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    const int code = errno;
    std::fclose(file);
    if (failed)
        reason = std::strerror(code);
    return !failed;
}

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
        std::string content, reason;
        if (!readWhole(name, content, reason)) {
            std::cerr << "kxdump: " << name << ": " << reason << '\n';
            return 1;
        }
        try {
            std::cout << kx::readDataFile(content).dump(2) << '\n';
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
