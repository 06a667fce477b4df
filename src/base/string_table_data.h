// The compiled string table (generated from resources/strings.txt).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vzrm::resources {

// A block holds 16 entries, each a length followed by that many UTF-16 units.
struct StringBlock {
    std::uint32_t blockId;  // text id / 16 + 1
    std::uint32_t offset;   // first unit of the block in kStringTableUnits
};

extern const char16_t kStringTableUnits[];
extern const std::size_t kStringTableUnitCount;
extern const StringBlock kStringBlocks[];  // ascending by blockId
extern const std::size_t kStringBlockCount;

}  // namespace vzrm::resources
