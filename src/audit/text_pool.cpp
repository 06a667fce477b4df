#include "audit/text_pool.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "base/case_fold.h"

namespace vzrm {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

std::uint32_t Hash32(std::size_t hash) {
    return static_cast<std::uint32_t>(hash ^ (static_cast<std::uint64_t>(hash) >> 32));
}

std::size_t FnvStep(std::size_t hash, char c) {
    return (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
}

// The hash of FoldCase(text), without building it for ASCII texts.
std::size_t FoldedHash(std::string_view text) {
    std::size_t hash = 0xCBF29CE484222325ull;
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        for (char c : text) {
            hash = FnvStep(hash, c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        }
        return hash;
    }
    for (char c : FoldCase(text)) {
        hash = FnvStep(hash, c);
    }
    return hash;
}

}  // namespace

template <typename Same>
std::optional<CTextPool::Id> CTextPool::IdTable::Find(std::size_t hash, Same&& same) const {
    if (slots_.empty()) {
        return std::nullopt;
    }
    const std::uint32_t h = Hash32(hash);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = h & mask; slots_[at].idPlusOne != 0; at = (at + 1) & mask) {
        if (slots_[at].hash == h && same(slots_[at].idPlusOne - 1)) {
            return slots_[at].idPlusOne - 1;
        }
    }
    return std::nullopt;
}

void CTextPool::IdTable::Add(std::size_t hash, Id id) {
    if ((count_ + 1) * 2 > slots_.size()) {
        const std::size_t size = std::max<std::size_t>(16, slots_.size() * 2);
        const std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size));
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.idPlusOne != 0) {
                std::size_t at = slot.hash & mask;
                while (slots_[at].idPlusOne != 0) {
                    at = (at + 1) & mask;
                }
                slots_[at] = slot;
            }
        }
    }
    const std::uint32_t h = Hash32(hash);
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = h & mask;
    while (slots_[at].idPlusOne != 0) {
        at = (at + 1) & mask;
    }
    slots_[at] = {id + 1, h};
    ++count_;
}

std::string_view CTextPool::Store(std::string_view text) {
    if (text.size() > left_) {
        const std::size_t size = std::max(kBlockSize, text.size());
        blocks_.push_back(std::make_unique<char[]>(size));
        next_ = blocks_.back().get();
        left_ = size;
    }
    if (!text.empty()) {
        std::memcpy(next_, text.data(), text.size());
    }
    const std::string_view stored(next_, text.size());
    next_ += text.size();
    left_ -= text.size();
    return stored;
}

CTextPool::Id CTextPool::Intern(std::string_view text) {
    for (const Id recent : recent_) {
        if (recent < texts_.size() && texts_[recent] == text) {
            return recent;
        }
    }
    const Id id = InternByHash(text);
    recent_[recentNext_] = id;
    recentNext_ = (recentNext_ + 1) % kRecent;
    return id;
}

CTextPool::Id CTextPool::InternByHash(std::string_view text) {
    const std::size_t hash = std::hash<std::string_view>()(text);
    if (const auto id =
            exact_.Find(hash, [&](Id candidate) { return texts_[candidate] == text; })) {
        return *id;
    }
    const auto id = static_cast<Id>(texts_.size());
    texts_.push_back(Store(text));
    const std::size_t foldedHash = FoldedHash(text);
    const auto sameKey = [&](Id candidate) { return EqualNoCase(texts_[candidate], text); };
    if (const auto key = folded_.Find(foldedHash, sameKey)) {
        keys_.push_back(*key);
    } else {
        keys_.push_back(id);
        folded_.Add(foldedHash, id);
    }
    exact_.Add(hash, id);
    return id;
}

std::optional<CTextPool::Key> CTextPool::FindKey(std::string_view text) const {
    return folded_.Find(FoldedHash(text),
                        [&](Id candidate) { return EqualNoCase(texts_[candidate], text); });
}

}  // namespace vzrm
