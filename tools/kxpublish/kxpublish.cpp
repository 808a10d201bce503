// kxpublish: prepares the update server's list for a folder of module files.
//
//   kxpublish [-d NAME=DIR]... [-s NAME]...
//             [--key PRIVATE.pem --version N --expires YYYY-MM-DDTHH:MM:SSZ
//              --manifest MANIFEST_FILE]
//             MODULE_FOLDER LIST_FILE LIST_HASH_FILE
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
// With --key (an Ed25519 private key in PEM) it also writes MANIFEST_FILE,
// the signed manifest of the release: the list's SHA-256, each module's name,
// directory, size and SHA-256, the version N (a positive integer, raised with
// every release) and the expiry time, signed with the key.
//
// Exit status: 0 written, 1 failed (said on standard error, with the
// system's reason for a file that cannot be read or written), 2 wrong
// command line.

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "updater/Hash.h"
#include "tools/kxpublish/PublishManifest.h"
#include "updater/UpdateListData.h"
#include "common/Version.h"

namespace fs = boost::filesystem;

namespace {

struct Options {
    std::map<std::string, std::string> dirs;
    std::set<std::string> skipped;
    fs::path folder, listFile, hashFile;
    // Signed manifest: all four or none.
    std::string keyFile, version, expires, manifestFile;
};

const char* const usage =
    "usage: kxpublish [-d NAME=DIR]... [-s NAME]...\n"
    "                 [--key PRIVATE.pem --version N --expires YYYY-MM-DDTHH:MM:SSZ\n"
    "                  --manifest MANIFEST_FILE]\n"
    "                 MODULE_FOLDER LIST_FILE LIST_HASH_FILE\n";

int Usage() {
    std::fputs(usage, stderr);
    return 2;
}

const char* const help =
    "Writes the update server's list of the module files in MODULE_FOLDER and the\n"
    "list's MD5 digest.\n"
    "  -d NAME=DIR  install the module NAME into the folder DIR (default \".\")\n"
    "  -s NAME      the updater downloads NAME but does not put it in place\n"
    "  --key PRIVATE.pem --version N --expires YYYY-MM-DDTHH:MM:SSZ --manifest FILE\n"
    "               also write FILE, the release's manifest signed with the Ed25519\n"
    "               key: version N (raise it with every release), valid until the\n"
    "               time given (UTC)\n"
    "  --help       print this text\n"
    "  --version    print the version\n"
    "Exit status: 0 written, 1 failed, 2 wrong command line.\n";

bool Fail(const std::string& message) {
    std::fprintf(stderr, "kxpublish: %s\n", message.c_str());
    return false;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    const std::map<std::string, std::string Options::*> signing = {
        {"--key", &Options::keyFile},
        {"--version", &Options::version},
        {"--expires", &Options::expires},
        {"--manifest", &Options::manifestFile}};
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        auto option = signing.find(argument);
        if (option != signing.end() && i + 1 < argc) {
            options.*(option->second) = argv[++i];
        } else if ((argument == "-d" || argument == "-s") && i + 1 < argc) {
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
    int signingGiven = 0;
    for (const auto& option : signing)
        signingGiven += !(options.*(option.second)).empty();
    if (signingGiven != 0 && signingGiven != 4)
        return Fail("a signed manifest needs --key, --version, --expires and --manifest");
    options.folder = positional[0];
    options.listFile = positional[1];
    options.hashFile = positional[2];
    return true;
}

// The line for one module, or false when the updater could not read it back
// as written or would refuse it; `file` receives what the signed manifest
// states about it.
bool ListLine(const fs::path& module, const Options& options, std::string& line,
              ManifestFile& file) {
    _updateListData entry;
    entry.name = module.filename().string();
    auto dir = options.dirs.find(entry.name);
    entry.dir = dir == options.dirs.end() ? "." : dir->second;
    // The updater's own rule: a name it would refuse is never listed.
    if (const char* reason = UntrustedPathReason(entry))
        return Fail("cannot be listed: " + entry.name + " in [" + entry.dir + "]: " + reason);
    if (!DigestModule(module.string(), entry.hash, file))
        return Fail("cannot read " + module.string() + ": " + std::strerror(errno));
    file.name = entry.name;
    file.dir = entry.dir;
    line = entry.name + "|0|" + entry.dir + "|" + entry.hash + "|" +
           (options.skipped.count(entry.name) ? "1" : "0") + "\n";
    return true;
}

// Writes `content` beside `path` and renames it into place.
bool WriteWhole(const fs::path& path, const std::string& content) {
    fs::path temporary = path;
    temporary += ".kxpublish-tmp";
    {
        std::ofstream out(temporary.string(), std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            int code = errno;
            boost::system::error_code ignored;
            fs::remove(temporary, ignored);
            return Fail("cannot write " + temporary.string() + ": " + std::strerror(code));
        }
    }
    boost::system::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        std::string reason = error.message();
        fs::remove(temporary, error);
        return Fail("cannot replace " + path.string() + ": " + reason);
    }
    return true;
}

bool Publish(const Options& options) {
    boost::system::error_code error;
    std::vector<fs::path> modules;
    for (fs::directory_iterator it(options.folder, error), end; !error && it != end;
         it.increment(error)) {
        boost::system::error_code ignored;
        if (!fs::is_regular_file(it->status(ignored)))
            continue;
        if (fs::equivalent(it->path(), options.listFile, ignored) ||
            fs::equivalent(it->path(), options.hashFile, ignored) ||
            (!options.manifestFile.empty() &&
             fs::equivalent(it->path(), options.manifestFile, ignored)))
            continue;
        if (!options.keyFile.empty() && fs::equivalent(it->path(), options.keyFile, ignored))
            return Fail("the private key lies in the module folder: " + options.keyFile);
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
    std::vector<ManifestFile> files;
    for (const fs::path& module : modules) {
        std::string line;
        files.emplace_back();
        if (!ListLine(module, options, line, files.back()))
            return false;
        list += line;
    }
    std::string digest;
    Hash::Get(reinterpret_cast<const unsigned char*>(list.data()),
              static_cast<unsigned int>(list.size()), digest);
    std::string manifest, why;
    if (!options.keyFile.empty()) {
        if (!SignedManifest({options.keyFile, options.version, options.expires}, list, files,
                            manifest, why))
            return Fail(why);
        if (!WriteWhole(options.manifestFile, manifest))
            return false;
        std::time_t expires = 0;
        if (ParseUtcTime(options.expires, expires) && expires <= std::time(nullptr))
            std::fprintf(stderr, "kxpublish: warning: the manifest has expired already (%s)\n",
                         options.expires.c_str());
    }
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
