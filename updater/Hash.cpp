#include "updater/Hash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include <openssl/evp.h>

#include "common/Descriptor.h"
#include "common/Portable.h"

Md5::Md5() : context(EVP_MD_CTX_new()), started(false) {
    started = context != nullptr && EVP_DigestInit_ex(context, EVP_md5(), nullptr) == 1;
}

Md5::~Md5() { EVP_MD_CTX_free(context); }

void Md5::Update(const void* data, std::size_t length) {
    if (started && length > 0)
        EVP_DigestUpdate(context, data, length);
}

bool Md5::Finish(std::string& hex) {
    if (!started)
        return false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    started = false;
    if (EVP_DigestFinal_ex(context, digest, &size) != 1)
        return false;
    static const char digits[] = "0123456789abcdef";
    for (unsigned int i = 0; i < size; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 0x0f];
    }
    return true;
}

bool Hash::Get(const unsigned char* data, unsigned int length, std::string& hex) {
    Md5 md5;
    md5.Update(data, length);
    return md5.Finish(hex);
}

namespace {} // namespace

bool Hash::GetFile(const char* path, std::string& hex) {
    struct stat status;
    if (::stat(path, &status) != 0)
        return false;
    Descriptor file{::open(path, O_RDONLY | O_CLOEXEC)};
    if (!file.valid())
        return false;
    Portable::AdviseSequential(file.get());
    Md5 md5;
    std::vector<unsigned char> chunk(1 << 20);
    for (;;) {
        ssize_t got = ::read(file.get(), chunk.data(), chunk.size());
        if (got < 0)
            return false;
        if (got == 0)
            break;
        md5.Update(chunk.data(), static_cast<std::size_t>(got));
    }
    return md5.Finish(hex);
}
