#pragma once
// MD5 digests as the update list and the server state them: 32 lower-case
// hexadecimal characters, high four bits first ("900150983cd24fb0d6963f7d28e17f72"
// for "abc"). The callers compare them without regard to case.

#include <cstddef>
#include <string>

struct evp_md_ctx_st; // OpenSSL's EVP_MD_CTX

// A running MD5 digest, fed piece by piece (a file being read, a body arriving).
class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    bool Started() const { return started; }
    void Update(const void* data, std::size_t length);
    // Appends the digest text to `hex`; false when the digest never started.
    bool Finish(std::string& hex);

private:
    evp_md_ctx_st* context;
    bool started;
};

class Hash {
public:
    void Init() {}

    // MD5 of `length` bytes at `data`, appended to `hex` (not emptied first).
    static bool Get(const unsigned char* data, unsigned int length, std::string& hex);

    // MD5 of the whole content of the file, read in chunks, appended to `hex`.
    // False (nothing appended) when the file cannot be sized, opened or read.
    static bool GetFile(const char* path, std::string& hex);
};
