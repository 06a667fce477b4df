#include "formats/windowed_bytes.h"

#include <algorithm>
#include <cstring>

#include "platform/error_codes.h"

namespace vzrm::formats {

using namespace platform;

WindowedBytes::WindowedBytes(std::size_t windowSize)
    : windowSize_(std::max<std::size_t>(windowSize, 1)) {}

void WindowedBytes::Attach(std::span<const std::uint8_t> bytes) {
    file_.reset();
    attached_ = bytes;
    size_ = bytes.size();
    for (Window& window : windows_) {
        window = {};
    }
}

void WindowedBytes::Open(std::unique_ptr<const IFileBytes> file) {
    Attach({});
    size_ = file->Size();
    file_ = std::move(file);
}

std::int32_t WindowedBytes::Fill(Window& window, std::size_t start) const {
    window.start = start;
    window.bytes.resize(std::min(windowSize_, size_ - start));
    if (const std::int32_t error = file_->ReadAt(start, window.bytes)) {
        window.bytes.clear();
        window.lastUse = 0;  // the first to fill again
        return error;
    }
    return kErrorSuccess;
}

std::int32_t WindowedBytes::View(std::size_t offset, std::span<const std::uint8_t>& bytes) const {
    bytes = {};
    if (offset >= size_) {
        return kErrorInvalidParameter;
    }
    if (!file_) {
        bytes = attached_.subspan(offset);
        return kErrorSuccess;
    }
    const std::size_t start = offset - offset % windowSize_;
    Window* window = nullptr;
    Window* leastUsed = &windows_[0];
    for (Window& candidate : windows_) {
        if (!candidate.bytes.empty() && candidate.start == start) {
            window = &candidate;
            break;
        }
        leastUsed = candidate.lastUse < leastUsed->lastUse ? &candidate : leastUsed;
    }
    if (!window) {
        window = leastUsed;
        if (const std::int32_t error = Fill(*window, start)) {
            return error;
        }
    }
    window->lastUse = ++uses_;
    bytes = std::span<const std::uint8_t>(window->bytes).subspan(offset - start);
    return kErrorSuccess;
}

std::int32_t WindowedBytes::Copy(std::size_t offset, std::span<std::uint8_t> out) const {
    if (offset > size_ || out.size() > size_ - offset) {
        return kErrorInvalidParameter;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        std::span<const std::uint8_t> bytes;
        if (const std::int32_t error = View(offset + done, bytes)) {
            return error;
        }
        const std::size_t piece = std::min(bytes.size(), out.size() - done);
        std::memcpy(out.data() + done, bytes.data(), piece);
        done += piece;
    }
    return kErrorSuccess;
}

}  // namespace vzrm::formats
