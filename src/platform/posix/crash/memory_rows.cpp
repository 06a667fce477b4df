#include "platform/posix/crash/memory_rows.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace vzrm {

std::size_t CMemoryReader::Read(std::uintptr_t address, void* out, std::size_t length) const {
    auto* bytes = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < length) {
        const std::uintptr_t at = address + done;
        if (snapshot_ != nullptr && at >= snapshotStart_ && at < snapshotStart_ + snapshotSize_) {
            const std::size_t n = std::min(length - done, snapshotStart_ + snapshotSize_ - at);
            std::memcpy(bytes + done, snapshot_ + (at - snapshotStart_), n);
            done += n;
            continue;
        }
        // One page at a time, so a partly readable range gives its readable start.
        const std::size_t page = 4096 - at % 4096;
        const std::size_t n = std::min(length - done, page);
        iovec local{bytes + done, n};
        iovec remote{reinterpret_cast<void*>(at), n};
        const ssize_t got = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < n) {
            break;
        }
    }
    return done;
}

const CMemoryReader& LiveMemory() {
    static const CMemoryReader live;
    return live;
}

std::string PointerText(std::uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(value));
    return text;
}

void DumpMemoryRows(CExceptionExtInfo* receiver, std::uint32_t level, const char* prefix,
                    std::uintptr_t address, std::size_t length, const CMemoryReader& memory) {
    const std::string head = prefix ? prefix : "";
    std::uint8_t first = 0;
    if (address == 0 || length < 1 || memory.Read(address, &first, 1) != 1) {
        AddReportLine(receiver, level, head + PointerText(address));
        return;
    }
    for (std::size_t row = 0; row < length; row += 16) {
        std::uint8_t bytes[16];
        const std::size_t wanted = std::min<std::size_t>(16, length - row);
        const std::size_t got = memory.Read(address + row, bytes, wanted);
        std::string hex;
        std::string chars;
        for (std::size_t i = 0; i < 16; ++i) {
            if (i > 0) {
                hex += i % 4 == 0 ? "  " : " ";
            }
            if (i < got) {
                char two[3];
                std::snprintf(two, sizeof two, "%02X", bytes[i]);
                hex += two;
                const std::uint8_t b = bytes[i];
                chars.push_back(
                    (b >= 32 && b <= 126) || (b >= 128 && b <= 254) ? static_cast<char>(b) : '.');
            } else if (i == got && got < wanted) {
                hex += "..";
                chars.push_back('.');
            } else {
                hex += "  ";
            }
        }
        AddReportLine(receiver, level,
                      head + PointerText(address + row) + ": " + hex + "  " + chars);
        if (got < wanted) {
            return;
        }
    }
}

}  // namespace vzrm
