#pragma once
// SHA-256 digests as the signed manifest states them: 64 lower-case
// hexadecimal characters.

#include <cstddef>
#include <string>

struct evp_md_ctx_st; // OpenSSL's EVP_MD_CTX

// A running SHA-256 digest, fed piece by piece (a body arriving, a file read).
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t length);
    // The digest text of everything fed; "" when the digest could not be
    // computed. Ends the digest: a second call gives "".
    std::string Finish();

    // The digest text of `bytes`.
    static std::string Of(const std::string& bytes);
    // True when `text` has the digest text's form: 64 lower-case hexadecimal characters.
    static bool IsDigestText(const std::string& text);

private:
    evp_md_ctx_st* context;
    bool started;
};
