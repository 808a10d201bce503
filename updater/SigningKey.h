#pragma once
// Ed25519 keys in PEM, as `openssl genpkey -algorithm ed25519` writes the
// private key and `openssl pkey -pubout` the public one: the publisher signs
// with the private key, the updater verifies with the public one it keeps in
// its installation folder. OpenSSL does all of the cryptography.

#include <memory>
#include <string>

struct evp_pkey_st; // OpenSSL's EVP_PKEY

class SigningKey {
public:
    // The public key in the PEM file at `path`; false with `reason` when the
    // file cannot be read or holds anything but one Ed25519 public key.
    bool LoadPublic(const std::string& path, std::string& reason);
    // The private key in the PEM file at `path` (unencrypted PKCS#8).
    bool LoadPrivate(const std::string& path, std::string& reason);

    // The 64-byte signature of `message`; "" on failure or without a private key.
    std::string Sign(const std::string& message) const;
    // True when `signature` is this key's signature of `message`.
    bool Verify(const std::string& message, const std::string& signature) const;

private:
    bool Load(const std::string& path, bool isPrivate, std::string& reason);

    struct Free {
        void operator()(evp_pkey_st* owned) const;
    };
    std::unique_ptr<evp_pkey_st, Free> key;
    bool isPrivate = false;
};

// Base64 (with padding, no line breaks) of `bytes`.
std::string Base64Encode(const std::string& bytes);
// The bytes of canonical base64 text (the form Base64Encode writes); false
// for anything else.
bool Base64Decode(const std::string& text, std::string& bytes);
