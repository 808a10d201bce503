// Base64 decoding over the standard alphabet, as property-list data elements
// carry it: characters outside the alphabet are skipped, the first "=" ends
// the text, and an incomplete final group without padding gives nothing.
#pragma once

#include <iterator>

template <class CharT = char>
class base64 {
public:
    // Decodes [first, last) and writes the bytes to out; returns the end of
    // the output.
    template <class InputIt, class OutputIt>
    static OutputIt get(InputIt first, InputIt last, OutputIt out) {
        int group[4];
        int filled = 0;
        for (; first != last; ++first) {
            const int c = static_cast<unsigned char>(*first);
            if (c == '=') {
                if (filled >= 2)
                    *out++ = static_cast<CharT>((group[0] << 2) | (group[1] >> 4));
                if (filled == 3)
                    *out++ = static_cast<CharT>(((group[1] & 0x0F) << 4) | (group[2] >> 2));
                return out;
            }
            const int v = value(c);
            if (v < 0)
                continue;
            group[filled++] = v;
            if (filled == 4) {
                *out++ = static_cast<CharT>((group[0] << 2) | (group[1] >> 4));
                *out++ = static_cast<CharT>(((group[1] & 0x0F) << 4) | (group[2] >> 2));
                *out++ = static_cast<CharT>(((group[2] & 0x03) << 6) | group[3]);
                filled = 0;
            }
        }
        return out;
    }

private:
    static int value(int c) {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    }
};
