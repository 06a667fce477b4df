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
        return EVT_HANDLE{slot.use} << 32 | (EVT_HANDLE{index} + 1);
    }

    // Null for a handle that names no open object.
    Object* Find(EVT_HANDLE handle) const {
        const Slot* slot = SlotOf(handle);
        return slot == nullptr ? nullptr : slot->object.get();
    }

    // The object, no longer in the table; null for a handle that names none.
    std::unique_ptr<Object> Remove(EVT_HANDLE handle) {
        Slot* slot = const_cast<Slot*>(SlotOf(handle));
        if (slot == nullptr) {
            return nullptr;
        }
        ++slot->use;
        free_.push_back(static_cast<std::uint32_t>((handle & 0xFFFFFFFFu) - 1));
        return std::move(slot->object);
    }

  private:
    struct Slot {
        std::unique_ptr<Object> object;
        std::uint32_t use = 1;  // a handle is never 0
    };

    const Slot* SlotOf(EVT_HANDLE handle) const {
        const EVT_HANDLE index = (handle & 0xFFFFFFFFu) - 1;
        if ((handle & 0xFFFFFFFFu) == 0 || index >= slots_.size()) {
            return nullptr;
        }
        const Slot& slot = slots_[index];
        return slot.object && slot.use == handle >> 32 ? &slot : nullptr;
    }

    std::vector<Slot> slots_;
    std::vector<std::uint32_t> free_;
};

}  // namespace vzrm::platform::posix
