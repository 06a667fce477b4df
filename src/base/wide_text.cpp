#include "base/wide_text.h"

#include <bit>
#include <cstring>

namespace vzrm {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

// Decodes one UTF-8 sequence at `at`, advancing it; kReplacement when invalid.
char32_t DecodeUtf8(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    for (int i = 0; i < extra; ++i) {
        if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
            return kReplacement;
        }
        value = (value << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
    }
    const bool valid =
        value >= minimum && value <= 0x10FFFF && !IsHighSurrogate(value) && !IsLowSurrogate(value);
    return valid ? value : kReplacement;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

namespace {

// The UTF-8 of `count` UTF-16 units that `unit(i)` gives, appended to `out`.
template <typename Unit>
void AppendNarrow(std::size_t count, Unit unit, std::string& out) {
    // ASCII, by far the most common text, goes a byte per unit in one stretch.
    std::size_t ascii = 0;
    while (ascii < count && unit(ascii) < 0x80) {
        ++ascii;
    }
    const std::size_t at = out.size();
    out.resize(at + ascii);
    for (std::size_t i = 0; i < ascii; ++i) {
        out[at + i] = static_cast<char>(unit(i));
    }
    for (std::size_t i = ascii; i < count; ++i) {
        char32_t c = unit(i);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (IsHighSurrogate(c) && i + 1 < count && IsLowSurrogate(unit(i + 1))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
}

}  // namespace

std::string WideToNarrow(std::u16string_view wide) {
    std::string out;
    AppendNarrow(
        wide.size(), [&](std::size_t i) { return char32_t{wide[i]}; }, out);
    return out;
}

void AppendNarrowOfUtf16Le(const std::uint8_t* data, std::size_t units, std::string& out) {
    // The ASCII stretch four units at a time: the log's texts are nearly all
    // ASCII, and this conversion was the largest single cost of reading them.
    static_assert(std::endian::native == std::endian::little, "words read low byte first");
    std::size_t ascii = 0;
    for (; ascii + 4 <= units; ascii += 4) {
        std::uint64_t word = 0;
        std::memcpy(&word, data + 2 * ascii, 8);
        if ((word & 0xFF80FF80FF80FF80ull) != 0) {
            break;
        }
    }
    const std::size_t at = out.size();
    out.resize(at + ascii);
    for (std::size_t i = 0; i < ascii; ++i) {
        out[at + i] = static_cast<char>(data[2 * i]);
    }
    const std::uint8_t* rest = data + 2 * ascii;
    AppendNarrow(
        units - ascii,
        [&](std::size_t i) { return char32_t{rest[2 * i]} | char32_t{rest[2 * i + 1]} << 8; }, out);
}

std::string WideToNarrow(const char16_t* wide) {
    return wide ? WideToNarrow(std::u16string_view(wide)) : std::string();
}

std::u16string NarrowToWide(std::string_view narrow) {
    std::u16string out;
    out.reserve(narrow.size());
    for (std::size_t at = 0; at < narrow.size();) {
        AppendUtf16(out, DecodeUtf8(narrow, at));
    }
    return out;
}

}  // namespace vzrm
