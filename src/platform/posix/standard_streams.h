// The program's standard output and error: whether a person watches them,
// and writes that go out whole.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vzrm::platform::posix {

enum class Stream { output, error };

// A terminal; `columns` gets its width, 0 when the terminal does not say.
bool IsTerminal(Stream stream, int* columns = nullptr);
// Writes all of `text`: 0, or a Windows error code.
std::int32_t WriteAll(Stream stream, const std::string& text);
// Writes `bytes` to a fresh name beside `path` (never a predictable one: it
// could be a link another account planted) and renames it over `path`, so
// that a half-written file never takes its place: 0, or a Windows error code.
std::int32_t ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace vzrm::platform::posix
