#include "updater/SigningKey.h"

#include <fstream>
#include <iterator>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace {

// A PEM key file is a few hundred bytes; anything much larger is not one.
const std::streamsize maxKeyFileBytes = 64 * 1024;

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

bool ReadBounded(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    content.assign(static_cast<std::size_t>(maxKeyFileBytes) + 1, '\0');
    in.read(&content[0], maxKeyFileBytes + 1);
    if (in.bad())
        return false;
    content.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

} // namespace

void SigningKey::Free::operator()(evp_pkey_st* owned) const { EVP_PKEY_free(owned); }

bool SigningKey::LoadPublic(const std::string& path, std::string& reason) {
    return Load(path, false, reason);
}

bool SigningKey::LoadPrivate(const std::string& path, std::string& reason) {
    return Load(path, true, reason);
}

bool SigningKey::Load(const std::string& path, bool wantPrivate, std::string& reason) {
    key.reset();
    std::string pem;
    if (!ReadBounded(path, pem)) {
        reason = "cannot be read";
        return false;
    }
    if (pem.size() > static_cast<std::size_t>(maxKeyFileBytes)) {
        reason = "is larger than a key file";
        return false;
    }
    std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio) {
        reason = "cannot be read";
        return false;
    }
    EVP_PKEY* loaded = wantPrivate ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                                   : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr);
    key.reset(loaded);
    if (!key) {
        reason = wantPrivate ? "holds no PEM private key" : "holds no PEM public key";
        return false;
    }
    if (EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
        key.reset();
        reason = "is not an Ed25519 key";
        return false;
    }
    isPrivate = wantPrivate;
    return true;
}

std::string SigningKey::Sign(const std::string& message) const {
    if (!key || !isPrivate)
        return "";
    std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    unsigned char signature[64];
    size_t size = sizeof signature;
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), signature, &size,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1)
        return "";
    return std::string(reinterpret_cast<const char*>(signature), size);
}

bool SigningKey::Verify(const std::string& message, const std::string& signature) const {
    if (!key)
        return false;
    std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    return context &&
           EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                            signature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
}

std::string Base64Encode(const std::string& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]),
                                 reinterpret_cast<const unsigned char*>(bytes.data()),
                                 static_cast<int>(bytes.size()));
    text.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
    return text;
}

bool Base64Decode(const std::string& text, std::string& bytes) {
    if (text.empty() || text.size() % 4 != 0 || text.size() > 1024 * 1024)
        return false;
    std::string decoded(text.size() / 4 * 3, '\0');
    int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(&decoded[0]),
                                 reinterpret_cast<const unsigned char*>(text.data()),
                                 static_cast<int>(text.size()));
    if (length < 0)
        return false;
    // EVP_DecodeBlock counts the padding as zero bytes.
    std::size_t padding = text.compare(text.size() - 2, 2, "==") == 0  ? 2
                          : text.compare(text.size() - 1, 1, "=") == 0 ? 1
                                                                       : 0;
    decoded.resize(static_cast<std::size_t>(length) - padding);
    // Only the canonical form: no blanks, no stray bits in the last character.
    if (Base64Encode(decoded) != text)
        return false;
    bytes = decoded;
    return true;
}
