// Conversions between wide (UTF-16) texts and the narrow code page, which is
// UTF-8 here. Unpaired surrogates and invalid bytes become U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vzrm {

std::string WideToNarrow(std::u16string_view wide);
// A null text converts to an empty text.
std::string WideToNarrow(const char16_t* wide);
std::u16string NarrowToWide(std::string_view narrow);
// Appends the UTF-8 form of `units` little-endian UTF-16 units at `data`.
void AppendNarrowOfUtf16Le(const std::uint8_t* data, std::size_t units, std::string& out);

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace vzrm
