// A cache of a fixed number of entries that lets the oldest go first: message
// modules and publisher handles stay open between events, at most Capacity.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <unordered_map>

namespace vzrm {

template <std::size_t Capacity, typename Key, typename Value, typename Hash, typename Equal>
class CSimpleCache {
  public:
    CSimpleCache() = default;
    virtual ~CSimpleCache() = default;  // derived caches call Clear() to release their values
    CSimpleCache(const CSimpleCache&) = delete;
    CSimpleCache& operator=(const CSimpleCache&) = delete;

    std::optional<Value> Lookup(const Key& key) const {
        const auto it = map_.find(key);
        return it == map_.end() ? std::nullopt : std::optional<Value>(it->second);
    }

    // The key in the next ring slot (the oldest once all are used) leaves first.
    void Add(const Key& key, const Value& value) {
        if (const std::optional<Key>& old = ring_[next_]) {
            const auto it = map_.find(*old);
            if (it != map_.end()) {
                ReleaseValue(it->second);
                map_.erase(it);
            }
        }
        if (const auto it = map_.find(key); it != map_.end()) {
            ReleaseValue(it->second);
        }
        map_[key] = value;
        ring_[next_] = key;
        next_ = (next_ + 1) % Capacity;
    }

    std::size_t Count() const { return map_.size(); }
    // True when the next Add of a new key lets an older one go.
    bool Full() const { return ring_[next_].has_value(); }

  protected:
    virtual void ReleaseValue(Value& /*value*/) {}
    // Releases every value still held.
    void Clear() {
        for (auto& [key, value] : map_) {
            ReleaseValue(value);
        }
        map_.clear();
        ring_ = {};
    }

  private:
    std::unordered_map<Key, Value, Hash, Equal> map_;
    std::array<std::optional<Key>, Capacity> ring_{};
    std::size_t next_ = 0;
};

}  // namespace vzrm
