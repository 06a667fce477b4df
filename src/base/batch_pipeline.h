// Items handed in order to a thread of their own, in batches that go back
// and forth between the two threads: an item keeps its buffers from one use
// to the next. The thread starts when a second batch begins: items finished
// before that are handled in place, which spares a small run a thread's
// start. Without a second thread (it could not be started) the batches are
// handled in place.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace vzrm {

// `kBatchItems` items per batch: enough that handing one over costs little per
// item, few enough that the batches in flight take little memory.
template <typename Item, std::size_t kBatchItems = 256>
class CBatchPipeline {
  public:
    using Sink = std::function<void(Item&)>;

    // `sink` is called for every item, in the order they were added.
    explicit CBatchPipeline(Sink sink) : sink_(std::move(sink)) {}
    // Waits for the items added so far; never throws.
    ~CBatchPipeline() {
        try {
            Finish();
        } catch (...) {
            // Whoever owns the pipeline has failed already; nothing to add.
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
    CBatchPipeline(const CBatchPipeline&) = delete;
    CBatchPipeline& operator=(const CBatchPipeline&) = delete;

    // The next item's place, to fill: it may hold an earlier item's texts,
    // so assign every member. Add() then counts it in.
    Item& Place() {
        if (filling_.count == kBatchItems) {
            HandOn();
        }
        if (filling_.count == filling_.items.size()) {
            filling_.items.emplace_back();
        }
        return filling_.items[filling_.count];
    }
    void Add() { ++filling_.count; }
    // Hands on the items added so far and waits until the sink has had them;
    // rethrows what the sink threw (the items after that one are dropped).
    void Finish() {
        if (!thread_.joinable()) {
            DrainInPlace();  // a batch or fewer so far: not worth a thread
            return;
        }
        HandOn();
        std::unique_lock lock(lock_);
        changed_.wait(lock, [this] { return full_.empty() && !working_; });
        if (failure_) {
            std::rethrow_exception(failure_);
        }
    }
    // True once the sink threw: the adding can stop early.
    bool Failed() const { return failed_.load(std::memory_order_relaxed); }
    // Whether the sink runs on a thread of its own: once a second batch
    // begins, unless that thread cannot be started.
    bool Threaded() const { return !inPlace_; }
    // Batches handed on that the sink's thread has not begun: while it falls
    // behind, the adding thread can take on some of its work.
    std::size_t Waiting() const { return waiting_.load(std::memory_order_relaxed); }

  private:
    static constexpr std::size_t kBatchesInFlight = 4;

    struct Batch {
        std::vector<Item> items;
        std::size_t count = 0;
    };

    void HandOn() {
        if (filling_.count == 0) {
            return;
        }
        if (!thread_.joinable() && !inPlace_) {
            try {
                thread_ = std::thread([this] { Consume(); });
            } catch (const std::system_error&) {
                inPlace_ = true;  // no second thread: the batches are handled in place
            }
        }
        if (!thread_.joinable()) {
            DrainInPlace();
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

    void Consume() {
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
                failed_.store(true, std::memory_order_relaxed);
            }
            empty_.push_back(std::move(batch));
            working_ = false;
            changed_.notify_all();
        }
    }

    void DrainInPlace() {
        const std::size_t count = filling_.count;
        filling_.count = 0;  // spent even when the sink throws
        Drain(filling_, count);
    }

    void Drain(Batch& batch, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            sink_(batch.items[i]);
        }
    }

    Sink sink_;
    Batch filling_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Batch> full_;                // to the sink, in order
    std::deque<Batch> empty_;               // back for reuse
    std::atomic<std::size_t> waiting_ = 0;  // full_.size(), read without the lock
    bool working_ = false;                  // the sink thread has a batch in hand
    bool closing_ = false;
    bool inPlace_ = false;  // the thread could not be started (the adding thread's)
    std::exception_ptr failure_;
    std::atomic<bool> failed_ = false;  // failure_ is set; read without the lock
    std::thread thread_;
};

}  // namespace vzrm
