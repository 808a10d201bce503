#include "tests/updater/TestKeys.h"

#include <stdexcept>

#include "tests/updater/TestServer.h"

namespace kxtest {

KeyPair MakeKeyPair(const fs::path& dir, const std::string& name, const std::string& algorithm) {
    KeyPair pair{dir / (name + ".pem"), dir / (name + ".pub")};
    std::string options = algorithm == "rsa"  ? "-algorithm rsa -pkeyopt rsa_keygen_bits:2048"
                          : algorithm == "ec" ? "-algorithm ec -pkeyopt ec_paramgen_curve:P-256"
                                              : "-algorithm " + algorithm;
    int status = 0;
    Capture("openssl genpkey " + options + " -out '" + pair.privatePem.string() +
                "' 2>&1 && openssl pkey -in '" + pair.privatePem.string() + "' -pubout -out '" +
                pair.publicPem.string() + "' 2>&1",
            &status);
    if (status != 0)
        throw std::runtime_error("openssl could not make a key pair");
    return pair;
}

} // namespace kxtest
