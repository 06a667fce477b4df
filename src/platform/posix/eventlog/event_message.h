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

// The ID of the event's message: its event ID.
std::uint32_t EventMessageId(const Event& event);
// The event's message inserts: its EventData values, an array giving one
// insert per element. `values` is a buffer of the caller's; what it holds
// afterwards is nothing to go by.
void EventInserts(const Event& event, std::vector<formats::BxValue>& values,
                  std::vector<formats::BxValue>& inserts);

// The event's message (`messageId`, or the event's ID); 15027 when the
// publisher has none. The caller holds the publisher's lock.
std::int32_t FormatEventMessage(Publisher& publisher, const Event& event, std::uint32_t messageId,
                                std::string& text);
// The texts after `labels` in message `messageId` with `inserts` (those of
// `publisher.buffers` may be given), as a search of the whole message finds
// them; 15027 when the publisher has no such message. The caller holds the
// publisher's lock.
std::int32_t FindInsertFields(Publisher& publisher, std::uint32_t messageId,
                              const std::vector<formats::BxValue>& inserts,
                              std::span<const std::string_view> labels,
                              std::span<std::string> values);

}  // namespace vzrm::platform::posix
