#include "audit/position_lists.h"

#include <utility>

namespace vzrm {

void CPositionLists::Add(std::uint32_t key, Position position) {
    const auto [value, added] = slots_.Insert(key);
    if (added) {
        *value = position;
        return;
    }
    if ((*value & kMany) == 0) {
        std::vector<Position> list;
        // The allocator's smallest block holds six: most keys have no more.
        list.reserve(6);
        list.push_back(*value);
        *value = kMany | static_cast<std::uint32_t>(many_.size());
        many_.push_back(std::move(list));
    }
    many_[*value & ~kMany].push_back(position);
}

std::span<const CPositionLists::Position> CPositionLists::Of(std::uint32_t key) const {
    const std::uint32_t* value = slots_.Find(key);
    if (value == nullptr) {
        return {};
    }
    if ((*value & kMany) == 0) {
        return {value, 1};
    }
    return many_[*value & ~kMany];
}

void CPositionLists::Follow(const std::vector<Position>& moved) {
    std::vector<std::vector<Position>> many;
    slots_.EraseIf([&](std::uint32_t, std::uint32_t& value) {
        if ((value & kMany) == 0) {
            value = moved[value];
            return value == kNone;
        }
        std::vector<Position>& list = many_[value & ~kMany];
        std::size_t kept = 0;
        for (const Position p : list) {
            if (moved[p] != kNone) {
                list[kept++] = moved[p];
            }
        }
        if (kept <= 1) {
            value = kept == 0 ? kNone : list[0];
            return kept == 0;
        }
        list.resize(kept);
        value = kMany | static_cast<std::uint32_t>(many.size());
        many.push_back(std::move(list));
        return false;
    });
    many_ = std::move(many);
}

void CPositionLists::ForEach(
    const std::function<void(std::uint32_t, std::span<const Position>)>& visit) {
    slots_.ForEach([&](std::uint32_t key, std::uint32_t& value) {
        if ((value & kMany) == 0) {
            visit(key, {&value, 1});
        } else {
            visit(key, many_[value & ~kMany]);
        }
    });
}

void CPositionLists::Release() {
    slots_.Release();
    many_ = {};
}

}  // namespace vzrm
