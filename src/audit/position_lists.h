// Positions of a record list grouped by a 32-bit key (a handle, a file),
// ascending. Most keys have one position, kept in the key's slot; a key with
// more has a list of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "base/flat_map.h"

namespace vzrm {

class CPositionLists {
  public:
    using Position = std::uint32_t;
    // A position no record has: DropRemoved's mark for a record that went.
    static constexpr Position kNone = 0xFFFFFFFFu;

    // `position` is larger than every position `key` has; below 2^31.
    void Add(std::uint32_t key, Position position);
    // The positions of `key`; valid until the next Add, Follow or Release.
    std::span<const Position> Of(std::uint32_t key) const;
    // Renumbers by `moved` (by old position the new one, kNone when the record
    // went); keys left without positions go.
    void Follow(const std::vector<Position>& moved);
    // The keys and their positions, each key's in one call.
    void ForEach(const std::function<void(std::uint32_t, std::span<const Position>)>& visit);
    void Release();

  private:
    // A slot's value: the key's one position, or kMany and the index of its
    // list in many_.
    static constexpr std::uint32_t kMany = 0x80000000u;

    CFlatMap<std::uint32_t, std::uint32_t, std::hash<std::uint32_t>> slots_;
    std::vector<std::vector<Position>> many_;
};

}  // namespace vzrm
