// A log file as the format readers see it: a size fixed when it was opened,
// and reads that fail with an error code (1503) when the file changed since.
// The system's implementation opens the file; the readers never do.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vzrm::formats {

class IFileBytes {
  public:
    virtual ~IFileBytes() = default;
    virtual const std::string& Path() const = 0;
    // The size when opened; reads never go beyond it.
    virtual std::size_t Size() const = 0;
    // Fills `out` from `offset`: 0, or a Windows error code.
    [[nodiscard]] virtual std::int32_t ReadAt(std::size_t offset,
                                              std::span<std::uint8_t> out) const = 0;
};

}  // namespace vzrm::formats
