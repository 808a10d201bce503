// Prints the MD5 of a file the way the updater computes it (Hash::GetFile),
// for timing beside md5sum.

#include <cstdio>
#include <string>

#include "updater/Hash.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kx_md5file FILE\n");
        return 2;
    }
    std::string hex;
    if (!Hash::GetFile(argv[1], hex)) {
        std::fprintf(stderr, "kx_md5file: cannot read %s\n", argv[1]);
        return 1;
    }
    std::printf("%s  %s\n", hex.c_str(), argv[1]);
    return 0;
}
