// The events a read takes from the log, handed in log order to a thread of
// their own that finds their fields and interprets them, so that reading the
// next events and interpreting the last ones share two processors.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "audit/audit_record.h"
#include "audit/event_fields.h"
#include "base/batch_pipeline.h"
#include "platform/event_log.h"

namespace vzrm {

// A modern event's message as the sink's thread searches it for fields: its
// publisher (a handle of that thread's), its ID and its inserts, whose bytes
// `bytes` holds (the event itself is closed by then).
struct PendingMessage {
    PendingMessage() = default;
    // `inserts` points into `bytes`: a move keeps their buffer, a copy would not.
    PendingMessage(const PendingMessage&) = delete;
    PendingMessage& operator=(const PendingMessage&) = delete;
    PendingMessage(PendingMessage&&) noexcept = default;
    PendingMessage& operator=(PendingMessage&&) noexcept = default;

    platform::IModernEventLog* log = nullptr;
    platform::EVT_HANDLE metadata = 0;
    std::uint32_t messageId = 0;
    std::vector<platform::EVT_INSERT> inserts;
    std::vector<std::uint8_t> bytes;
};

// One event on its way: the record as the log gives it, and the fields of
// its message, or what they are found in: the text of a classic event's
// message, a modern one's inserts.
struct PendingRecord {
    AUDIT_RECORD record;
    std::string message;
    PendingMessage inserts;
    std::array<std::string, kEventFieldCount> fields;
    bool hasFields = false;
    bool classic = false;
};

using CRecordPipeline = CBatchPipeline<PendingRecord>;

}  // namespace vzrm
