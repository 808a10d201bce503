#include "common/LogText.h"

#include <cstdio>

namespace LogText {

namespace {

std::string Escape(unsigned char c) {
    switch (c) {
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    case '\\': return "\\\\";
    default: break;
    }
    if (c < 0x20 || c == 0x7f) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        return hex;
    }
    return std::string(1, static_cast<char>(c));
}

// The length of the UTF-8 sequence `lead` begins (1 for anything else).
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

} // namespace

std::string OneLine(std::string_view text, std::size_t limit) {
    std::string line;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        std::string piece;
        if (lead < 0x80) {
            piece = Escape(lead);
            ++at;
        } else {
            // A multi-byte character goes whole; its continuation bytes are
            // checked so that a broken sequence cannot swallow what follows.
            std::size_t length = SequenceLength(lead);
            if (at + length > text.size())
                length = 1;
            for (std::size_t i = 1; i < length; ++i)
                if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
                    length = 1;
            piece.assign(text.substr(at, length));
            at += length;
        }
        if (line.size() + piece.size() > limit)
            break;
        line += piece;
    }
    return line;
}

std::string EscapeControls(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            line += Escape(byte);
        else
            line += c;
    }
    return line;
}

} // namespace LogText
