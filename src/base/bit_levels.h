// A growable set of bits that finds the next or previous set bit from any
// place in a few word reads: above the bits, each level has a bit per word of
// the level below, set while that word has any bit set. A record list marks
// its live records here at a bit each, where a skip table cost 8 bytes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vzrm {

class CBitLevels {
  public:
    std::size_t size() const { return size_; }
    bool Test(std::size_t i) const { return (levels_[0][i >> 6] >> (i & 63) & 1) != 0; }

    void PushBack(bool set) {
        if ((size_ & 63) == 0) {
            // A new word at each level that needs one, up to a single word on top.
            std::size_t index = size_ >> 6;
            for (std::size_t level = 0;; ++level, index >>= 6) {
                if (level == levels_.size()) {
                    // Of the level below only its first word can hold bits yet.
                    const bool below = level > 0 && levels_[level - 1][0] != 0;
                    levels_.push_back({below ? std::uint64_t{1} : std::uint64_t{0}});
                }
                if (levels_[level].size() == index) {
                    levels_[level].push_back(0);
                }
                if (level > 0 && index == 0) {
                    break;
                }
            }
        }
        if (set) {
            Set(size_);
        }
        ++size_;
    }
    void Set(std::size_t i) {
        for (std::size_t level = 0; level < levels_.size(); ++level, i >>= 6) {
            std::uint64_t& word = levels_[level][i >> 6];
            const bool wasEmpty = word == 0;
            word |= std::uint64_t{1} << (i & 63);
            if (!wasEmpty) {
                return;
            }
        }
    }
    void Reset(std::size_t i) {
        for (std::size_t level = 0; level < levels_.size(); ++level, i >>= 6) {
            std::uint64_t& word = levels_[level][i >> 6];
            word &= ~(std::uint64_t{1} << (i & 63));
            if (word != 0) {
                return;
            }
        }
    }
    // `count` bits, all set.
    void AssignSet(std::size_t count) {
        levels_.clear();
        size_ = 0;
        for (std::size_t i = 0; i < count; ++i) {
            PushBack(true);
        }
    }

    // The first set bit at or after `from`.
    std::optional<std::size_t> NextSet(std::size_t from) const {
        return from < size_ ? Next(0, from) : std::nullopt;
    }
    // The last set bit at or before `from`.
    std::optional<std::size_t> PrevSet(std::size_t from) const {
        return size_ == 0 ? std::nullopt : Prev(0, from < size_ ? from : size_ - 1);
    }

  private:
    std::optional<std::size_t> Next(std::size_t level, std::size_t from) const {
        if (level == levels_.size() || (from >> 6) >= levels_[level].size()) {
            return std::nullopt;
        }
        const std::vector<std::uint64_t>& words = levels_[level];
        const std::uint64_t here = words[from >> 6] & (~std::uint64_t{0} << (from & 63));
        if (here != 0) {
            return ((from >> 6) << 6) + static_cast<std::size_t>(std::countr_zero(here));
        }
        const auto word = Next(level + 1, (from >> 6) + 1);
        if (!word) {
            return std::nullopt;
        }
        return (*word << 6) + static_cast<std::size_t>(std::countr_zero(words[*word]));
    }
    std::optional<std::size_t> Prev(std::size_t level, std::size_t from) const {
        if (level == levels_.size()) {
            return std::nullopt;
        }
        const std::vector<std::uint64_t>& words = levels_[level];
        const std::uint64_t here = words[from >> 6] & (~std::uint64_t{0} >> (63 - (from & 63)));
        if (here != 0) {
            return ((from >> 6) << 6) + 63 - static_cast<std::size_t>(std::countl_zero(here));
        }
        if ((from >> 6) == 0) {
            return std::nullopt;
        }
        const auto word = Prev(level + 1, (from >> 6) - 1);
        if (!word) {
            return std::nullopt;
        }
        return (*word << 6) + 63 - static_cast<std::size_t>(std::countl_zero(words[*word]));
    }

    // levels_[0] holds the bits; the top level has a single word.
    std::vector<std::vector<std::uint64_t>> levels_;
    std::size_t size_ = 0;
};

}  // namespace vzrm
