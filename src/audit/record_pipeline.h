// The events a read takes from the log, handed in log order to a thread of
// their own that finds their fields and interprets them, so that reading the
// next events and interpreting the last ones share two processors.
//
// Events travel in batches that go back and forth between the two threads:
// the texts of a batch keep their buffers from one use to the next. Without a
// second thread (it could not be started) the batches are handled in place.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audit/audit_record.h"
#include "audit/event_fields.h"
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

class CRecordPipeline {
  public:
    using Sink = std::function<void(PendingRecord&)>;

    // `sink` is called for every event, in the order they were added.
    explicit CRecordPipeline(Sink sink);
    // Waits for the events added so far; never throws.
    ~CRecordPipeline();
    CRecordPipeline(const CRecordPipeline&) = delete;
    CRecordPipeline& operator=(const CRecordPipeline&) = delete;

    // The next event's place, to fill: its texts may hold an earlier event's,
    // so assign every member. Add() then counts it in.
    PendingRecord& Place();
    void Add();
    // Hands on the events added so far and waits until the sink has had them;
    // rethrows what the sink threw (the events after that one are dropped).
    void Finish();
    // True once the sink threw: the read can stop early.
    bool Failed() const;
    // Whether the sink runs on a thread of its own.
    bool Threaded() const { return thread_.joinable(); }
    // Batches handed on that the sink's thread has not begun: while it falls
    // behind, the adding thread can take on some of its work.
    std::size_t Waiting() const { return waiting_.load(std::memory_order_relaxed); }

  private:
    struct Batch {
        std::vector<PendingRecord> events;
        std::size_t count = 0;
    };

    void HandOn();
    void Consume();
    void Drain(Batch& batch, std::size_t count);

    Sink sink_;
    Batch filling_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Batch> full_;                // to the sink, in order
    std::deque<Batch> empty_;               // back for reuse
    std::atomic<std::size_t> waiting_ = 0;  // full_.size(), read without the lock
    bool working_ = false;                  // the sink thread has a batch in hand
    bool closing_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace vzrm
