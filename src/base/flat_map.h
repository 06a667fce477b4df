// A hash map of small keys and values held side by side in one array (open
// addressing, linear probing), for maps of millions of entries: a node-based
// map costs a node of its own per entry (about 50 bytes above the entry on
// this platform) where this costs the entry and the free slots, a fifth to a
// half of the table. The table grows by half, so that its free share stays
// between those bounds whatever the count. Pointers to values stay valid
// until the next insertion or erasure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vzrm {

template <typename Key, typename Value, typename Hash>
class CFlatMap {
  public:
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

    Value* Find(const Key& key) {
        return const_cast<Value*>(static_cast<const CFlatMap*>(this)->Find(key));
    }
    const Value* Find(const Key& key) const {
        if (count_ == 0) {
            return nullptr;
        }
        for (std::size_t at = Home(key);; at = Next(at)) {
            if (!used_[at]) {
                return nullptr;
            }
            if (slots_[at].key == key) {
                return &slots_[at].value;
            }
        }
    }

    // The value of `key`, value-initialised when it is new; true when new.
    std::pair<Value*, bool> Insert(const Key& key) {
        if ((count_ + 1) * 5 > slots_.size() * 4) {
            Grow();
        }
        std::size_t at = Home(key);
        for (; used_[at]; at = Next(at)) {
            if (slots_[at].key == key) {
                return {&slots_[at].value, false};
            }
        }
        used_[at] = true;
        slots_[at] = {key, Value{}};
        ++count_;
        return {&slots_[at].value, true};
    }

    void Erase(const Key& key) {
        if (Value* value = Find(key)) {
            EraseSlot(SlotOf(value));
        }
    }
    // `value` is one that Find or Insert returned.
    void Erase(Value* value) { EraseSlot(SlotOf(value)); }

    // Every entry; `visit(key, value)` may change the value, not the map.
    template <typename Visit>
    void ForEach(Visit&& visit) {
        for (std::size_t at = 0; at < slots_.size(); ++at) {
            if (used_[at]) {
                visit(static_cast<const Key&>(slots_[at].key), slots_[at].value);
            }
        }
    }
    // Erases the entries for which `drop(key, value)` is true; it may change the others.
    template <typename Drop>
    void EraseIf(Drop&& drop) {
        CFlatMap kept;
        ForEach([&](const Key& key, Value& value) {
            if (!drop(key, value)) {
                *kept.Insert(key).first = value;
            }
        });
        *this = std::move(kept);
    }

    // Room for `count` entries without growing: a map whose size is known
    // skips the moments when the old table and the new are both held.
    void Reserve(std::size_t count) {
        if (count * 5 > slots_.size() * 4) {
            Rehash(count + count / 4 + 1);
        }
    }

    // Empty, with its memory given back.
    void Release() { *this = CFlatMap(); }

  private:
    struct Slot {
        Key key;
        Value value;
    };

    std::size_t Home(const Key& key) const {
        // The hash's high bits scaled to the table, which need not be a power of two.
        const auto h = static_cast<std::uint64_t>(Hash()(key));
        const std::uint64_t mixed = (h ^ (h >> 32)) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(((mixed >> 32) * slots_.size()) >> 32);
    }
    std::size_t Next(std::size_t at) const { return at + 1 == slots_.size() ? 0 : at + 1; }
    std::size_t SlotOf(const Value* value) const {
        return static_cast<std::size_t>(reinterpret_cast<const char*>(value) -
                                        reinterpret_cast<const char*>(&slots_[0].value)) /
               sizeof(Slot);
    }

    void Grow() { Rehash(slots_.size() < 16 ? 16 : slots_.size() + slots_.size() / 2); }
    void Rehash(std::size_t size) {
        std::vector<Slot> old = std::move(slots_);
        std::vector<bool> oldUsed = std::move(used_);
        slots_.assign(size, Slot{});
        used_.assign(size, false);
        for (std::size_t from = 0; from < old.size(); ++from) {
            if (oldUsed[from]) {
                std::size_t at = Home(old[from].key);
                while (used_[at]) {
                    at = Next(at);
                }
                used_[at] = true;
                slots_[at] = old[from];
            }
        }
    }

    // Backward shift: the entries after the hole that may move into it do, so
    // that no search stops short at the hole.
    void EraseSlot(std::size_t hole) {
        used_[hole] = false;
        --count_;
        for (std::size_t at = Next(hole); used_[at]; at = Next(at)) {
            const std::size_t home = Home(slots_[at].key);
            // Whether `home` lies cyclically in (hole, at]: then the entry stays.
            const bool stays =
                hole < at ? (home > hole && home <= at) : (home > hole || home <= at);
            if (!stays) {
                slots_[hole] = slots_[at];
                used_[hole] = true;
                used_[at] = false;
                hole = at;
            }
        }
    }

    std::vector<Slot> slots_;
    std::vector<bool> used_;
    std::size_t count_ = 0;
};

}  // namespace vzrm
