#pragma once
// Builds the bytes a data file is expected to hold, field by field, written
// independently of the encoders under test. Texts are given as the Shift_JIS
// bytes the file must carry.

#include <cstdint>
#include <string>

struct KxBytes {
    std::string bytes;

    KxBytes& u32(uint32_t v) { return little(v, 4); }
    KxBytes& i64(int64_t v) { return little(static_cast<uint64_t>(v), 8); }
    KxBytes& count(uint32_t v) { return u32(v); }
    KxBytes& raw(const std::string& v) {
        bytes += v;
        return *this;
    }
    KxBytes& text(const std::string& sjis) {
        if (sjis.size() < 255) {
            bytes += static_cast<char>(sjis.size());
        } else {
            bytes += '\xFF';
            little(sjis.size(), 2);
        }
        bytes += sjis;
        return *this;
    }
    KxBytes& texts(int n) { // n empty texts
        bytes.append(n, '\0');
        return *this;
    }
    KxBytes& trailer() { return raw("KX20EOF"); }

private:
    KxBytes& little(uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
        return *this;
    }
};

// Readable hex for failure messages.
inline std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}
