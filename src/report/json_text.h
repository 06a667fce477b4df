// JSON Lines for the tools' machine-readable output: one object per line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vzrm {

// The text as a JSON string, quoted and escaped; bytes that are not UTF-8
// become U+FFFD, so the result always parses.
std::string JsonString(std::string_view text);

// One JSON object, built member by member, in the order they are added.
class CJsonObject {
  public:
    CJsonObject& Text(std::string_view name, std::string_view value);
    CJsonObject& Number(std::string_view name, std::uint64_t value);
    // A value that is already JSON (an array, an object, null).
    CJsonObject& Json(std::string_view name, std::string_view json);
    // "{...}".
    std::string Close() const { return "{" + members_ + "}"; }

  private:
    std::string members_;
};

}  // namespace vzrm
