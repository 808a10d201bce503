#pragma once
// Key pairs for signed-update tests, made with the openssl tool at test time.

#include <boost/filesystem.hpp>
#include <string>

namespace kxtest {

struct KeyPair {
    boost::filesystem::path privatePem; // as `openssl genpkey -algorithm ed25519` writes it
    boost::filesystem::path publicPem;  // as `openssl pkey -pubout` writes it
};

// A new pair of the given algorithm ("ed25519", or e.g. "rsa" or "ec" for
// keys the updater must refuse) as <dir>/<name>.pem and <dir>/<name>.pub.
KeyPair MakeKeyPair(const boost::filesystem::path& dir, const std::string& name,
                    const std::string& algorithm = "ed25519");

} // namespace kxtest
