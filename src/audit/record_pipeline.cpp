#include "audit/record_pipeline.h"

#include <system_error>

namespace vzrm {
namespace {

// Enough events per batch that handing one over costs little per event; few
// batches in flight, so that the texts waiting take little memory.
constexpr std::size_t kBatchEvents = 256;
constexpr std::size_t kBatchesInFlight = 4;

}  // namespace

CRecordPipeline::CRecordPipeline(Sink sink) : sink_(std::move(sink)) {
    try {
        thread_ = std::thread([this] { Consume(); });
    } catch (const std::system_error&) {
        // No second thread: the batches are handled in place.
    }
}

CRecordPipeline::~CRecordPipeline() {
    try {
        Finish();
    } catch (...) {
        // The read that owns the pipeline has failed already; nothing to add.
    }
    {
        const std::lock_guard lock(lock_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

PendingRecord& CRecordPipeline::Place() {
    if (filling_.count == kBatchEvents) {
        HandOn();
    }
    if (filling_.count == filling_.events.size()) {
        filling_.events.emplace_back();
    }
    return filling_.events[filling_.count];
}

void CRecordPipeline::Add() {
    ++filling_.count;
}

void CRecordPipeline::Finish() {
    HandOn();
    if (!thread_.joinable()) {
        return;
    }
    std::unique_lock lock(lock_);
    changed_.wait(lock, [this] { return full_.empty() && !working_; });
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

bool CRecordPipeline::Failed() const {
    const std::lock_guard lock(lock_);
    return failure_ != nullptr;
}

void CRecordPipeline::HandOn() {
    if (filling_.count == 0) {
        return;
    }
    if (!thread_.joinable()) {
        const std::size_t count = filling_.count;
        filling_.count = 0;  // spent even when the sink throws
        Drain(filling_, count);
        return;
    }
    std::unique_lock lock(lock_);
    changed_.wait(lock, [this] { return full_.size() < kBatchesInFlight; });
    full_.push_back(std::move(filling_));
    waiting_.store(full_.size(), std::memory_order_relaxed);
    filling_ = {};
    if (!empty_.empty()) {
        filling_ = std::move(empty_.front());
        empty_.pop_front();
    }
    lock.unlock();
    changed_.notify_all();
}

void CRecordPipeline::Consume() {
    std::unique_lock lock(lock_);
    for (;;) {
        changed_.wait(lock, [this] { return !full_.empty() || closing_; });
        if (full_.empty()) {
            return;
        }
        Batch batch = std::move(full_.front());
        full_.pop_front();
        waiting_.store(full_.size(), std::memory_order_relaxed);
        working_ = true;
        const bool skip = failure_ != nullptr;
        lock.unlock();
        changed_.notify_all();
        std::exception_ptr failed;
        if (!skip) {
            try {
                Drain(batch, batch.count);
            } catch (...) {
                failed = std::current_exception();
            }
        }
        batch.count = 0;
        lock.lock();
        if (failed) {
            failure_ = failed;
        }
        empty_.push_back(std::move(batch));
        working_ = false;
        changed_.notify_all();
    }
}

void CRecordPipeline::Drain(Batch& batch, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        sink_(batch.events[i]);
    }
}

}  // namespace vzrm
