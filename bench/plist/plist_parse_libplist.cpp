// The same parse with libplist: read the file, build libplist's tree, free it.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include <plist/plist.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: plist_parse_libplist FILE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    plist_t root = nullptr;
    if (bytes.compare(0, 8, "bplist00") == 0)
        plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    else
        plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root) {
        std::cerr << "libplist could not parse " << argv[1] << '\n';
        return 1;
    }
    if (plist_get_node_type(root) == PLIST_ARRAY)
        std::cout << plist_array_get_size(root) << '\n';
    plist_free(root);
    return 0;
}
