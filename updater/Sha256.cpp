#include "updater/Sha256.h"

#include <cctype>

#include <openssl/evp.h>

Sha256::Sha256() : context(EVP_MD_CTX_new()), started(false) {
    started = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
}

Sha256::~Sha256() { EVP_MD_CTX_free(context); }

void Sha256::Update(const void* data, std::size_t length) {
    if (started && length > 0 && EVP_DigestUpdate(context, data, length) != 1)
        started = false;
}

std::string Sha256::Finish() {
    if (!started)
        return "";
    started = false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context, digest, &size) != 1)
        return "";
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 0x0f];
    }
    return hex;
}

std::string Sha256::Of(const std::string& bytes) {
    Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.Finish();
}

bool Sha256::IsDigestText(const std::string& text) {
    if (text.size() != 64)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && (c < 'a' || c > 'f'))
            return false;
    return true;
}
