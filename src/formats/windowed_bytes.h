// The bytes of a log file as a reader walks them: bytes in memory, or a file
// read a window at a time into two cached windows, so that the memory taken
// does not grow with the file. A walk that goes on into the next window, or
// wraps from the end of the file back to its start, keeps the window it
// comes from. Reads change the cache: one reader at a time.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/file_bytes.h"

namespace vzrm::formats {

inline constexpr std::size_t kDefaultWindowSize = std::size_t{1} << 20;

class WindowedBytes {
  public:
    explicit WindowedBytes(std::size_t windowSize = kDefaultWindowSize);

    // Bytes the caller keeps alive (tests and fuzzing): one window, never a read error.
    void Attach(std::span<const std::uint8_t> bytes);
    void Open(std::unique_ptr<const IFileBytes> file);

    // The size when opened (or of the attached bytes).
    std::size_t Size() const { return size_; }
    // The file's path; empty for attached bytes.
    const std::string& Path() const { return file_ ? file_->Path() : noPath_; }

    // The bytes from `offset` (below Size()) to the end of its window: 0, or
    // the file's error code (1503 when it changed since it was opened).
    std::int32_t View(std::size_t offset, std::span<const std::uint8_t>& bytes) const;
    // `out.size()` bytes from `offset`, across windows; they must lie in the file.
    std::int32_t Copy(std::size_t offset, std::span<std::uint8_t> out) const;

  private:
    struct Window {
        std::size_t start = 0;
        std::vector<std::uint8_t> bytes;  // empty: not filled
        std::uint64_t lastUse = 0;
    };

    std::int32_t Fill(Window& window, std::size_t start) const;

    std::size_t windowSize_;
    std::unique_ptr<const IFileBytes> file_;
    std::span<const std::uint8_t> attached_;
    std::size_t size_ = 0;
    std::string noPath_;
    mutable std::array<Window, 2> windows_;
    mutable std::uint64_t uses_ = 0;
};

}  // namespace vzrm::formats
