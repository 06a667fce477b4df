#include "base/resource_text.h"

#include <algorithm>
#include <string_view>

#include "base/wide_text.h"

namespace vzrm {

std::string LoadTextFromTable(const resources::StringBlock* blocks, std::size_t blockCount,
                              const char16_t* units, std::size_t unitCount, std::uint32_t id) {
    const StringTableSlot slot = SlotOfText(id);
    const auto* end = blocks + blockCount;
    const auto* block = std::lower_bound(
        blocks, end, slot.block,
        [](const resources::StringBlock& b, std::uint32_t wanted) { return b.blockId < wanted; });
    if (block == end || block->blockId != slot.block) {
        return {};
    }
    std::size_t at = block->offset;
    for (std::uint32_t entry = 0; entry < slot.entry; ++entry) {
        if (at >= unitCount) {
            return {};
        }
        at += 1 + units[at];
    }
    if (at >= unitCount || at + 1 + units[at] > unitCount) {
        return {};
    }
    return WideToNarrow(std::u16string_view(units + at + 1, units[at]));
}

std::string LoadResourceText(std::uint32_t id) {
    return LoadTextFromTable(resources::kStringBlocks, resources::kStringBlockCount,
                             resources::kStringTableUnits, resources::kStringTableUnitCount, id);
}

}  // namespace vzrm
