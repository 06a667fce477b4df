// Objects by handle for the event-log interfaces: a slot per object, reused
// once the object is closed. A handle names its slot and the slot's use, so
// a closed handle stays invalid when its slot holds another object.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/event_log.h"

namespace vzrm::platform::posix {

template <typename Object>
class HandleTable {
  public:
    // A log with two tables tells their handles apart by the high bit of a
    // handle's slot number, set by the table made `marked`.
    explicit HandleTable(bool marked = false) : mark_(marked ? kMark : 0) {}

    static bool Marked(EVT_HANDLE handle) { return (handle & kMark) != 0; }

    EVT_HANDLE Add(std::unique_ptr<Object> object) {
        std::uint32_t index = 0;
        if (free_.empty()) {
            index = static_cast<std::uint32_t>(slots_.size());
            slots_.emplace_back();
        } else {
            index = free_.back();
            free_.pop_back();
        }
        Slot& slot = slots_[index];
        slot.object = std::move(object);
        return EVT_HANDLE{slot.use} << 32 | mark_ | (EVT_HANDLE{index} + 1);
    }

    // Null for a handle that names no open object.
    Object* Find(EVT_HANDLE handle) const {
        const Slot* slot = SlotOf(handle);
        return slot == nullptr ? nullptr : slot->object.get();
    }

    // The first open object for which `match` is true; null when none is.
    template <typename Match>
    Object* FindIf(Match match) const {
        for (const Slot& slot : slots_) {
            if (slot.object && match(*slot.object)) {
                return slot.object.get();
            }
        }
        return nullptr;
    }

    // The object, no longer in the table; null for a handle that names none.
    std::unique_ptr<Object> Remove(EVT_HANDLE handle) {
        Slot* slot = const_cast<Slot*>(SlotOf(handle));
        if (slot == nullptr) {
            return nullptr;
        }
        ++slot->use;
        free_.push_back(static_cast<std::uint32_t>((handle & kSlotBits) - 1));
        return std::move(slot->object);
    }

  private:
    struct Slot {
        std::unique_ptr<Object> object;
        std::uint32_t use = 1;  // a handle is never 0
    };

    const Slot* SlotOf(EVT_HANDLE handle) const {
        const EVT_HANDLE index = (handle & kSlotBits) - 1;
        if ((handle & kMark) != mark_ || (handle & kSlotBits) == 0 || index >= slots_.size()) {
            return nullptr;
        }
        const Slot& slot = slots_[index];
        return slot.object && slot.use == handle >> 32 ? &slot : nullptr;
    }

    static constexpr EVT_HANDLE kMark = 0x80000000u;
    static constexpr EVT_HANDLE kSlotBits = 0x7FFFFFFFu;

    const EVT_HANDLE mark_;
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_;
};

}  // namespace vzrm::platform::posix
