#include "platform/event_log.h"

#include <cstring>

#include "platform/error_codes.h"

namespace vzrm::platform {

std::u16string EVT_VARIANT::Text() const {
    std::u16string text(size / 2, u'\0');
    if (bytes != nullptr) {
        std::memcpy(text.data(), bytes, text.size() * 2);  // UTF-16LE on a little-endian host
    }
    return text;
}

std::int32_t ForEachClassicRecord(
    IClassicEventLog& log, EventLogHandle handle,
    const std::function<void(const EVENTLOGRECORD&, std::span<const std::uint8_t>)>& each) {
    std::vector<std::uint8_t> buffer(0x10000);
    for (;;) {
        std::uint32_t read = 0;
        std::uint32_t needed = 0;
        const std::int32_t error = log.Read(
            handle, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer, read, needed);
        if (error == kErrorInsufficientBuffer) {
            buffer.resize(needed);
            continue;
        }
        if (error != kErrorSuccess) {
            return error == kErrorHandleEof ? kErrorSuccess : error;
        }
        for (std::uint32_t at = 0; at + sizeof(EVENTLOGRECORD) <= read;) {
            EVENTLOGRECORD head;
            std::memcpy(&head, buffer.data() + at, sizeof head);
            if (head.Length < sizeof head || head.Length > read - at) {
                return kErrorInvalidData;
            }
            each(head, std::span<const std::uint8_t>(buffer.data() + at, head.Length));
            at += head.Length;
        }
    }
}

}  // namespace vzrm::platform
