// A log file read with pread into the caller's buffers. A log that shrinks
// or is rewritten while it is read gives an error code, never a signal (a
// memory map of it would fault on the pages that went away).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vzrm::platform::posix {

class LogFileBytes {
  public:
    LogFileBytes() = default;
    ~LogFileBytes();
    LogFileBytes(LogFileBytes&& other) noexcept;
    LogFileBytes& operator=(LogFileBytes&& other) noexcept;
    LogFileBytes(const LogFileBytes&) = delete;
    LogFileBytes& operator=(const LogFileBytes&) = delete;

    // 0 on success, else a Windows error code (2 missing, 5 denied, 13 not a
    // regular file, ...).
    std::int32_t Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    // The size when opened; reads never go beyond it.
    std::size_t Size() const { return size_; }
    // Fills `out` from `offset`: 0, or 1503 when the file no longer has those
    // bytes or was changed since it was opened.
    std::int32_t ReadAt(std::size_t offset, std::span<std::uint8_t> out) const;
    // The whole file, read and checked the same way.
    std::int32_t ReadAll(std::vector<std::uint8_t>& out) const;

  private:
    bool Unchanged() const;
    void Reset();

    int fd_ = -1;
    std::string path_;
    std::size_t size_ = 0;
    struct timespec modified_ {};
    ino_t inode_ = 0;
};

}  // namespace vzrm::platform::posix
