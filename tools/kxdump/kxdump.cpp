// kxdump FILE: prints a KX20 data file (hardware or software) as JSON.
// A file that is not one complete data file is refused on standard error
// with exit status 1.

#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "KxReader.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kxdump FILE\n";
        return 1;
    }
    const std::string name = argv[1];
    std::ifstream in(name, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    if (!in) {
        std::cerr << "kxdump: " << name << ": cannot read the file\n";
        return 1;
    }
    try {
        std::cout << kx::readDataFile(content.str()).dump(2) << '\n';
    } catch (const std::exception& e) { // kx::FormatError above all
        std::cerr << "kxdump: " << name << ": " << e.what() << '\n';
        return 1;
    }
    return 0;
}
