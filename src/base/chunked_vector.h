// A sequence that grows at its end in blocks of a fixed number of items:
// what is in it never moves (a vector's growth would hold twice its size for
// a moment), and the blocks are few and large, where a deque's are 512
// bytes: a million records of 48 bytes were a hundred thousand blocks to
// allocate, and as many to free at the end of a run.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace vzrm {

template <typename T, std::size_t kBlockItems = 1024>
class CChunkedVector {
  public:
    CChunkedVector() = default;
    // What was moved from is empty, not a size without its blocks.
    CChunkedVector(CChunkedVector&& other) noexcept
        : blocks_(std::move(other.blocks_)), size_(std::exchange(other.size_, 0)) {}
    CChunkedVector& operator=(CChunkedVector&& other) noexcept {
        blocks_ = std::move(other.blocks_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return blocks_[i / kBlockItems][i % kBlockItems]; }
    const T& operator[](std::size_t i) const { return blocks_[i / kBlockItems][i % kBlockItems]; }
    const T& back() const { return (*this)[size_ - 1]; }

    void push_back(const T& item) {
        if (size_ == blocks_.size() * kBlockItems) {
            blocks_.push_back(std::make_unique<T[]>(kBlockItems));
        }
        (*this)[size_++] = item;
    }
    // Keeps the first `size` items (no more than there are); the blocks
    // after them go.
    void shrink_to(std::size_t size) {
        if (size < size_) {
            size_ = size;
            blocks_.resize((size + kBlockItems - 1) / kBlockItems);
        }
    }

  private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    std::size_t size_ = 0;
};

}  // namespace vzrm
