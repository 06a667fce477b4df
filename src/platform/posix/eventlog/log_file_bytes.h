// A log file read with pread into the caller's buffers. A log that shrinks
// or is rewritten while it is read gives an error code, never a signal (a
// memory map of it would fault on the pages that went away).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/evt_file.h"
#include "formats/evtx_file.h"
#include "formats/file_bytes.h"

namespace vzrm::platform::posix {

class LogFileBytes final : public formats::IFileBytes {
  public:
    LogFileBytes() = default;
    ~LogFileBytes() override;
    LogFileBytes(LogFileBytes&& other) noexcept;
    LogFileBytes& operator=(LogFileBytes&& other) noexcept;
    LogFileBytes(const LogFileBytes&) = delete;
    LogFileBytes& operator=(const LogFileBytes&) = delete;

    // 0 on success, else a Windows error code (2 missing, 5 denied, 222 not
    // a plain file, 1921 a link, ...).
    std::int32_t Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const override { return path_; }
    // The size when opened; reads never go beyond it.
    std::size_t Size() const override { return size_; }
    // Fills `out` from `offset`: 0, or 1503 when the file no longer has those
    // bytes or was changed since it was opened.
    std::int32_t ReadAt(std::size_t offset, std::span<std::uint8_t> out) const override;

  private:
    bool Unchanged() const;
    void Reset();

    int fd_ = -1;
    std::string path_;
    std::size_t size_ = 0;
    struct timespec modified_ {};
    ino_t inode_ = 0;
};

// The format readers over a file opened by path: 0, or a Windows error code
// (2/5 and the like from the file, 13 for a file of another format).
std::int32_t OpenEvtxFile(formats::EvtxFile& log, const std::string& path);
std::int32_t OpenEvtFile(formats::EvtFile& log, const std::string& path);

}  // namespace vzrm::platform::posix
