// A cache of a fixed number of entries that lets the oldest go first: message
// modules and publisher handles stay open between events, at most Capacity.
// One thread at a time: even Lookup notes the keys it found.
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
        // The keys last found, compared as they are: a log's records name the
        // same few keys again and again, and the map's hash may be costly
        // (folded case).
        for (const Recent& recent : recent_) {
            if (recent.value && recent.key == key) {
                return recent.value;
            }
        }
        const auto it = map_.find(key);
        if (it == map_.end()) {
            return std::nullopt;
        }
        recent_[recentNext_] = {key, it->second};
        recentNext_ = (recentNext_ + 1) % kRecent;
        return it->second;
    }

    // The key in the next ring slot (the oldest once all are used) leaves first.
    void Add(const Key& key, const Value& value) {
        recent_ = {};
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
        recent_ = {};
    }

  private:
    struct Recent {
        Key key;
        std::optional<Value> value;  // none: an empty slot
    };
    static constexpr std::size_t kRecent = 2;

    std::unordered_map<Key, Value, Hash, Equal> map_;
    mutable std::array<Recent, kRecent> recent_{};
    mutable std::size_t recentNext_ = 0;
    std::array<std::optional<Key>, Capacity> ring_{};
    std::size_t next_ = 0;
};

}  // namespace vzrm
