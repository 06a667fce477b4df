#include "base/terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace vzrm {
namespace {

// The code point of the two- or three-byte UTF-8 sequence at `at`, when it is
// one of those escaped; 0 otherwise. `length` gets its length.
std::uint32_t EscapedCodePoint(const std::string& text, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const std::size_t left = text.size() - at;
    if (left >= 2 && byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) {
        length = 2;
        return byte(1);  // U+0080-U+009F
    }
    if (left >= 2 && byte(0) == 0xD8 && byte(1) == 0x9C) {
        length = 2;
        return 0x061C;
    }
    if (left < 3 || byte(0) != 0xE2 || (byte(1) & 0xC0) != 0x80 || (byte(2) & 0xC0) != 0x80) {
        return 0;
    }
    const std::uint32_t cp = 0x2000 | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    const bool bidi = cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
                      (cp >= 0x2066 && cp <= 0x2069);
    length = 3;
    return bidi ? cp : 0;
}

}  // namespace

std::string EscapeControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        char escaped[16];
        std::size_t length = 1;
        if (c == '\t' || c == '\r' || c == '\n') {
            out += c == '\t' ? "\\t" : c == '\r' ? "\\r" : "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else if (const std::uint32_t cp = EscapedCodePoint(text, at, length); cp != 0) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", cp);
            out += escaped;
        } else {
            length = 1;
            out += text[at];
        }
        at += length;
    }
    return out;
}

}  // namespace vzrm
