// The messages of modern events: made whole, or searched for fields without
// being made, from the publisher's templates and the event's inserts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/binxml.h"
#include "platform/posix/eventlog/modern_log_objects.h"

namespace vzrm::platform::posix {

// The buffers of the messages, kept from one event to the next.
struct MessageBuffers {
    std::vector<formats::BxValue> values;
    std::vector<formats::BxValue> inserts;
    std::vector<std::string> texts;
    std::vector<const char*> arguments;
    std::vector<std::int8_t> states;
    std::string text;
};

// The event's message (`messageId`, or the event's ID); 15027 when the
// publisher has none.
std::int32_t FormatEventMessage(Publisher& publisher, const Event& event, std::uint32_t messageId,
                                MessageBuffers& buffers, std::string& text);
// The texts after `labels` in the event's message, as a search of the whole
// message finds them; 15027 when the publisher has no message.
std::int32_t FindEventMessageFields(Publisher& publisher, const Event& event,
                                    std::span<const std::string_view> labels,
                                    std::span<std::string> values, MessageBuffers& buffers);

}  // namespace vzrm::platform::posix
