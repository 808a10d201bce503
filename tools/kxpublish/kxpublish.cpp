// kxpublish: prepares the update server's list for a folder of module files.
//
//   kxpublish [-d NAME=DIR]... [-s NAME]... MODULE_FOLDER LIST_FILE LIST_HASH_FILE
//
// Every regular file directly in MODULE_FOLDER becomes one line of LIST_FILE,
// in name order, in the full form the updater reads:
//
//   name|0|directory|md5|flag
//
// The version is "0" (the installed file's digest decides), the directory is
// "." unless "-d NAME=DIR" gives one, and the flag is "1" for files named with
// "-s NAME" (downloaded but not put in place), else "0". LIST_HASH_FILE
// receives the MD5 of LIST_FILE's bytes as 32 lower-case hexadecimal digits
// with nothing after them. Both files are replaced whole, never half-written.
// A file whose name the updater would refuse (see ModuleName.h) stops the
// tool with a message, and nothing is written.
//
// Exit status: 0 written, 1 failed (said on standard error, with the
// system's reason for a file that cannot be read or written), 2 wrong
// command line.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "Hash.h"
#include "UpdateListData.h"
#include "Version.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    std::map<std::string, std::string> dirs;
    std::set<std::string> skipped;
    fs::path folder, listFile, hashFile;
};

const char* const usage =
    "usage: kxpublish [-d NAME=DIR]... [-s NAME]... MODULE_FOLDER LIST_FILE LIST_HASH_FILE\n";

int Usage() {
    std::fputs(usage, stderr);
    return 2;
}

const char* const help =
    "Writes the update server's list of the module files in MODULE_FOLDER and the\n"
    "list's MD5 digest.\n"
    "  -d NAME=DIR  install the module NAME into the folder DIR (default \".\")\n"
    "  -s NAME      the updater downloads NAME but does not put it in place\n"
    "  --help       print this text\n"
    "  --version    print the version\n"
    "Exit status: 0 written, 1 failed, 2 wrong command line.\n";

bool Fail(const std::string& message) {
    std::fprintf(stderr, "kxpublish: %s\n", message.c_str());
    return false;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if ((argument == "-d" || argument == "-s") && i + 1 < argc) {
            std::string value = argv[++i];
            if (argument == "-s") {
                options.skipped.insert(value);
                continue;
            }
            std::size_t equals = value.find('=');
            if (equals == std::string::npos)
                return Fail("-d needs NAME=DIR: " + value);
            options.dirs[value.substr(0, equals)] = value.substr(equals + 1);
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 3)
        return false;
    options.folder = positional[0];
    options.listFile = positional[1];
    options.hashFile = positional[2];
    return true;
}

// The line for one module, or false when the updater could not read it back
// as written or would refuse it.
bool ListLine(const fs::path& file, const Options& options, std::string& line) {
    _updateListData entry;
    entry.name = file.filename().string();
    auto dir = options.dirs.find(entry.name);
    entry.dir = dir == options.dirs.end() ? "." : dir->second;
    // The updater's own rule: a name it would refuse is never listed.
    if (const char* reason = UntrustedPathReason(entry))
        return Fail("cannot be listed: " + entry.name + " in [" + entry.dir + "]: " + reason);
    if (!Hash::GetFile(file.c_str(), entry.hash))
        return Fail("cannot read " + file.string() + ": " + std::strerror(errno));
    line = entry.name + "|0|" + entry.dir + "|" + entry.hash + "|" +
           (options.skipped.count(entry.name) ? "1" : "0") + "\n";
    return true;
}

// Writes `content` beside `path` and renames it into place.
bool WriteWhole(const fs::path& path, const std::string& content) {
    fs::path temporary = path;
    temporary += ".kxpublish-tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            int code = errno;
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return Fail("cannot write " + temporary.string() + ": " + std::strerror(code));
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        std::string reason = error.message();
        fs::remove(temporary, error);
        return Fail("cannot replace " + path.string() + ": " + reason);
    }
    return true;
}

bool Publish(const Options& options) {
    std::error_code error;
    std::vector<fs::path> modules;
    for (fs::directory_iterator it(options.folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored))
            continue;
        if (fs::equivalent(it->path(), options.listFile, ignored) ||
            fs::equivalent(it->path(), options.hashFile, ignored))
            continue;
        modules.push_back(it->path());
    }
    if (error)
        return Fail("cannot list " + options.folder.string() + ": " + error.message());
    std::sort(modules.begin(), modules.end());

    // Every name given with -d or -s must be one of the modules.
    std::set<std::string> named(options.skipped);
    for (const auto& dir : options.dirs)
        named.insert(dir.first);
    for (const fs::path& module : modules)
        named.erase(module.filename().string());
    if (!named.empty())
        return Fail("no such module file: " + *named.begin());

    std::string list;
    for (const fs::path& module : modules) {
        std::string line;
        if (!ListLine(module, options, line))
            return false;
        list += line;
    }
    std::string digest;
    Hash::Get(reinterpret_cast<const unsigned char*>(list.data()),
              static_cast<unsigned int>(list.size()), digest);
    return WriteWhole(options.listFile, list) && WriteWhole(options.hashFile, digest);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("%s%s", usage, help);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kxpublish %s\n", KX_VERSION);
        return 0;
    }
    try {
        Options options;
        if (!ParseArguments(argc, argv, options))
            return Usage();
        return Publish(options) ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxpublish: %s\n", e.what());
        return 1;
    }
}
