// Reading memory that may not be there, and dumping it in rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posix/crash/crash_lines.h"

namespace vzrm {

// Where the report reads memory: the live process, through a system call that
// fails instead of faulting, except for a snapshot of the faulting stack
// (taken before the stack was reused).
class CMemoryReader {
  public:
    // Bytes readable at `address`, up to `length`, copied into `out`.
    std::size_t Read(std::uintptr_t address, void* out, std::size_t length) const;
    bool Readable(std::uintptr_t address, std::size_t length) const {
        unsigned char scratch[64];
        return length <= sizeof scratch && Read(address, scratch, length) == length;
    }
    void SetSnapshot(std::uintptr_t start, const std::uint8_t* bytes, std::size_t size) {
        snapshotStart_ = start;
        snapshot_ = bytes;
        snapshotSize_ = size;
    }

  private:
    std::uintptr_t snapshotStart_ = 0;
    const std::uint8_t* snapshot_ = nullptr;
    std::size_t snapshotSize_ = 0;
};

const CMemoryReader& LiveMemory();

// Rows of 16 bytes: "prefix0000000000401000: 48 89 E5 ...  H..."; one line with
// the address alone when nothing can be read there.
void DumpMemoryRows(CExceptionExtInfo* receiver, std::uint32_t level, const char* prefix,
                    std::uintptr_t address, std::size_t length,
                    const CMemoryReader& memory = LiveMemory());

// An address at pointer width: 16 hex digits on 64-bit systems.
std::string PointerText(std::uintptr_t value);

}  // namespace vzrm
