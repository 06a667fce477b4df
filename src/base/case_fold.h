// Case-insensitive comparison of narrow (UTF-8) texts, character by character:
// "D:\Records\ÄB.ZRM" and "d:\records\äb.zrm" are the same text.
#pragma once

#include <string>
#include <string_view>

namespace vzrm {

// The lower-case form used as the key of case-insensitive maps and comparisons.
std::string FoldCase(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace vzrm
