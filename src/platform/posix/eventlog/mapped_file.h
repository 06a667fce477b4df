// A read-only memory map of a whole file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vzrm::platform::posix {

class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // 0 on success, else a Windows error code (2 missing, 5 denied, ...).
    std::int32_t Open(const std::string& path);
    std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }
    // Lets the kernel drop the pages of a part already read; a later access
    // reads them again from the file, so the bytes stay valid.
    void Release(std::size_t offset, std::size_t length) const;

  private:
    void Reset();

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace vzrm::platform::posix
