#include "platform/event_log.h"

#include <cstring>

namespace vzrm::platform {

std::u16string EVT_VARIANT::Text() const {
    std::u16string text(size / 2, u'\0');
    if (bytes != nullptr) {
        std::memcpy(text.data(), bytes, text.size() * 2);  // UTF-16LE on a little-endian host
    }
    return text;
}

}  // namespace vzrm::platform
