#include "audit/text_pool.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "base/case_fold.h"

namespace vzrm {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

// Mixed so that its high bits, which place it in the table, depend on every bit.
std::uint32_t Hash32(std::size_t hash) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(hash) * 0x9E3779B97F4A7C15ull) >>
                                      32);
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

std::size_t CTextPool::IdTable::Home(std::uint32_t hash) const {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(hash) * slots_.size()) >> 32);
}

template <typename Visit>
void CTextPool::IdTable::ForEach(std::size_t hash, Visit&& visit) const {
    if (slots_.empty()) {
        return;
    }
    const std::uint32_t h = Hash32(hash);
    for (std::size_t at = Home(h); slots_[at].idPlusOne != 0;
         at = at + 1 == slots_.size() ? 0 : at + 1) {
        if (slots_[at].hash == h && !visit(slots_[at].idPlusOne - 1)) {
            return;
        }
    }
}

void CTextPool::IdTable::Add(std::size_t hash, Id id) {
    // Four in five slots full at most, grown by half: a fifth to a half of
    // the table is free, where doubling at one half left a half to three quarters.
    if ((count_ + 1) * 5 > slots_.size() * 4) {
        const std::size_t size = std::max<std::size_t>(16, slots_.size() + slots_.size() / 2);
        const std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size));
        for (const Slot& slot : old) {
            if (slot.idPlusOne != 0) {
                Put(slot);
            }
        }
    }
    Put({id + 1, Hash32(hash)});
    ++count_;
}

void CTextPool::IdTable::Put(Slot slot) {
    std::size_t at = Home(slot.hash);
    while (slots_[at].idPlusOne != 0) {
        at = at + 1 == slots_.size() ? 0 : at + 1;
    }
    slots_[at] = slot;
}

const char* CTextPool::Store(std::string_view text) {
    unsigned char prefix[10];
    std::size_t prefixSize = 0;
    for (std::size_t length = text.size();; length >>= 7) {
        prefix[prefixSize++] =
            static_cast<unsigned char>((length & 0x7F) | (length > 0x7F ? 0x80 : 0));
        if (length <= 0x7F) {
            break;
        }
    }
    const std::size_t size = prefixSize + text.size();
    if (size > left_) {
        const std::size_t blockSize = std::max(kBlockSize, size);
        blocks_.push_back(std::make_unique<char[]>(blockSize));
        next_ = blocks_.back().get();
        left_ = blockSize;
    }
    char* const stored = next_;
    std::memcpy(stored, prefix, prefixSize);
    if (!text.empty()) {
        std::memcpy(stored + prefixSize, text.data(), text.size());
    }
    next_ += size;
    left_ -= size;
    return stored;
}

void CTextPool::ReleaseSearch() {
    table_ = IdTable();
    searchReleased_ = true;
}

void CTextPool::RebuildSearch() const {
    searchReleased_ = false;
    for (Id id = 0; id < texts_.size(); ++id) {
        table_.Add(FoldedHash(Text(id)), id);
    }
}

CTextPool::Id CTextPool::Intern(std::string_view text) {
    for (const Id recent : recent_) {
        if (recent < texts_.size() && Text(recent) == text) {
            return recent;
        }
    }
    const Id id = InternByHash(text);
    recent_[recentNext_] = id;
    recentNext_ = (recentNext_ + 1) % kRecent;
    return id;
}

CTextPool::Id CTextPool::InternByHash(std::string_view text) {
    if (searchReleased_) {
        RebuildSearch();
    }
    // One table by the case-folded hash: the text itself, or a text equal to
    // it ignoring case, whose key it shares, is among the ids of that hash.
    const std::size_t hash = FoldedHash(text);
    std::optional<Id> exact;
    std::optional<Key> key;
    table_.ForEach(hash, [&](Id candidate) {
        if (Text(candidate) == text) {
            exact = candidate;
            return false;
        }
        if (!key && EqualNoCase(Text(candidate), text)) {
            key = keys_[candidate];
        }
        return true;
    });
    if (exact) {
        return *exact;
    }
    const auto id = static_cast<Id>(texts_.size());
    texts_.push_back(Store(text));
    keys_.push_back(key ? *key : id);
    table_.Add(hash, id);
    return id;
}

std::optional<CTextPool::Key> CTextPool::FindKey(std::string_view text) const {
    if (searchReleased_) {
        RebuildSearch();
    }
    std::optional<Key> key;
    table_.ForEach(FoldedHash(text), [&](Id candidate) {
        if (EqualNoCase(Text(candidate), text)) {
            key = keys_[candidate];
            return false;
        }
        return true;
    });
    return key;
}

}  // namespace vzrm
