// Texts of the program's string table, by numeric identifier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/format_text.h"
#include "base/string_table_data.h"

namespace vzrm {

// Where a text lives: entry `id` mod 16 of block `id` / 16 + 1.
struct StringTableSlot {
    std::uint32_t block;
    std::uint32_t entry;
};
constexpr StringTableSlot SlotOfText(std::uint32_t id) {
    return {id / 16 + 1, id % 16};
}

// The text in the narrow code page; empty for a missing block or entry.
std::string LoadResourceText(std::uint32_t id);

// The same lookup over any table in the compiled form (the program's own by default).
std::string LoadTextFromTable(const resources::StringBlock* blocks, std::size_t blockCount,
                              const char16_t* units, std::size_t unitCount, std::uint32_t id);

// A string-table template formatted with the arguments.
template <typename... Args>
std::string FormatResource(std::uint32_t id, const Args&... args) {
    return FormatText(LoadResourceText(id), args...);
}

}  // namespace vzrm
