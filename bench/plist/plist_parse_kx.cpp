// Reads one property list into the value tree and prints the number of
// top-level entries (so that nothing is optimised away).
#include <iostream>

#include "plist/Plist.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: plist_parse_kx FILE\n";
        return 2;
    }
    boost::any root;
    try {
        Plist::readPlist(argv[1], root);
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    if (auto* array = boost::any_cast<Plist::array_type>(&root))
        std::cout << array->size() << '\n';
    else if (auto* dictionary = boost::any_cast<Plist::dictionary_type>(&root))
        std::cout << dictionary->size() << '\n';
    return 0;
}
