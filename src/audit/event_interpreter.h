// From the access events of one read of the Security log to the records of the
// report: the per-handle state machine that decides which records enter the
// list, then pairing and the period filter once the whole log has been read.
//
// Handles, process IDs and paths mean something only on the machine that
// logged them, and a collector's log holds the events of many machines. Every
// rule therefore looks only at records of the event's own computer (its name
// compared ignoring case): each machine's records form a list of their own,
// and the lists are walked together in log order.
//
// The cost is linear in the number of events for a log read in time order:
// every search below visits only the candidates that the record list indexes
// for it (see record_list.h), and each record is removed at most once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "audit/audit_record.h"
#include "audit/record_list.h"
#include "audit/text_pool.h"
#include "base/flat_map.h"

namespace vzrm {

struct HANDLE_STATE {
    std::uint32_t kind =
        0;  // the actions seen on the handle, OR-ed; 1 = created, 6 = opened and written
    std::uint32_t last = 0;  // the last reported action on the handle
};

class CEventInterpreter {
  public:
    // Removed records are dropped from the lists while reading once there
    // are this many and at least as many as live ones.
    static constexpr std::size_t kDropRemovedAt = 1 << 16;

    // `extension` is the one file filter; the program always uses ".zrm".
    // `dropRemovedAt`: tests make it small.
    explicit CEventInterpreter(std::string extension = ".zrm",
                               std::size_t dropRemovedAt = kDropRemovedAt);

    // Decides whether the record enters the list; may change the list, the maps
    // and the record's object name.
    bool AcceptRecord(AUDIT_RECORD& record);
    // The reader's rule for one event: appended, with its object name
    // canonicalised, when accepted with a handle ID and an object name.
    void AddRecord(const AUDIT_RECORD& record);
    // Run once after reading, in this order.
    void ClearHandleMaps();
    void PairRecords(const std::function<bool()>& stopRequested = {});
    // Keeps records later than `start` and not later than `end`; a missing bound is open.
    void FilterPeriod(std::optional<std::int64_t> start, std::optional<std::int64_t> end);

    // The list as it stands: after PairRecords, the final records.
    std::vector<AUDIT_RECORD> TakeRecords();
    std::size_t RecordCount() const;
    // The same records without holding them all as AUDIT_RECORDs: each is
    // expanded in turn into one record that `visit` may read until it
    // returns. A false from `visit` ends the walk; false then.
    bool VisitRecords(const std::function<bool(const AUDIT_RECORD&)>& visit) const;

  private:
    using Position = CRecordList::Position;

    // What the reading keeps of a handle: its path and state, 12 bytes; a log
    // of a million handles left open keeps a million of them.
    struct Handle {
        static constexpr std::uint16_t kNoState = 0xFFFF;
        // The .zrm path last seen with the handle; a path of another file
        // lends a later event nothing the extension gate would let pass.
        CTextPool::Id path = CTextPool::kNoId;
        // HANDLE_STATE's, in 16 bits each (the actions' bits fit in 11).
        std::uint16_t kind = kNoState;
        std::uint16_t last = 0;
        // The latest record of the handle appended while this entry stood;
        // each record links to the one before (CRecordList::HandleLink).
        Position latest = CRecordList::kNoPosition;

        bool HasState() const { return kind != kNoState; }
    };
    struct HandleHash {
        std::size_t operator()(std::uint32_t handle) const { return handle; }
    };
    using HandleMap = CFlatMap<std::uint32_t, Handle, HandleHash>;

    // One computer's records and handles.
    struct Machine {
        explicit Machine(const CTextPool& texts) : list(texts) {}
        CRecordList list;
        HandleMap handles;
        // Per handle, how far FirstCloseAfter has looked through its closes.
        std::unordered_map<std::uint32_t, std::size_t> closeCursor;
    };
    // A record's place in the log: its machine and its position in that machine's list.
    struct Entry {
        std::uint32_t machine;
        Position position;
    };

    // "Not more than one second after": a difference of 0 or 1 second.
    static bool WithinOneSecond(std::int64_t earlier, std::int64_t later) {
        return later - earlier <= 1;
    }

    std::uint32_t MachineIndex(const std::string& computer);
    // The records in log order, live or not: the i-th's machine and position.
    std::size_t OrderSize() const {
        return machines_.size() > 1 ? order_.size()
                                    : (machines_.empty() ? 0 : machines_[0].list.Size());
    }
    Entry OrderAt(std::size_t i) const {
        return machines_.size() > 1 ? order_[i] : Entry{0, static_cast<Position>(i)};
    }
    // Accept, counting the records it removes.
    bool AcceptCounted(Machine& m, AUDIT_RECORD& record);
    bool Accept(Machine& m, AUDIT_RECORD& record);
    // Drops the removed records of every machine and renumbers the log order.
    void DropRemovedRecords();
    // Accept's first step: the record's object name from its handle's path,
    // or the handle's path from the name. The handle's entry, null when none.
    Handle* TakePath(Machine& m, AUDIT_RECORD& record);
    // Accept's steps for a close, a delete and a write of a file of ours;
    // `handle` is the handle's entry, null when it has no state.
    static bool AcceptClose(Machine& m, std::uint32_t handle);
    static void AcceptDelete(Machine& m, std::uint32_t id, Handle* handle);
    static bool AcceptWrite(Machine& m, const AUDIT_RECORD& record, Handle* handle);
    // Both walk the handle's records from its latest: while it has a state,
    // they reach back at least to the open that the state began with.
    static void RemoveBackToOpen(Machine& m, Handle& handle);
    static void TurnLatestOpenIntoCreate(Machine& m, const Handle& handle);
    static bool RecentDeleteOrClose(const Machine& m, const AUDIT_RECORD& write);

    // PairRecords' searches within one machine; each returns the matching position.
    static std::optional<Position> FirstCloseAfter(Machine& m, std::uint32_t handle,
                                                   Position after);
    static std::optional<Position> RecorderDeleteAfter(const Machine& m, Position close,
                                                       CRecordList::TextKey object);
    static std::optional<Position> ReopenAfter(const Machine& m, Position close);
    static void RemoveObjectRecords(Machine& m, CRecordList::TextKey object, Position from,
                                    Position through);
    // PairRecords' removals; true when the record at `at` went.
    static bool RemoveShortLife(Machine& m, Position at);
    static bool RemoveCloseAndReopen(Machine& m, Position at);

    std::string extension_;
    // The texts of every machine's records; held apart so that the lists'
    // references to it survive a move of the interpreter.
    std::unique_ptr<CTextPool> texts_;
    // A deque: a machine's state stays where it is when another machine is added.
    std::deque<Machine> machines_;
    std::unordered_map<std::string, std::uint32_t> machineByName_;
    std::unordered_map<std::string, std::uint32_t> machineByFoldedName_;
    std::string lastComputer_;
    std::uint32_t lastMachine_ = 0;
    bool anyMachine_ = false;
    // Every record's place in log order; after the passes the live ones are
    // the final records. Empty while there is one machine, whose list is in
    // log order itself: 8 bytes a record saved in the common case.
    std::deque<Entry> order_;
    // Of the records in order_, how many are removed.
    std::size_t removedCount_ = 0;
    // The entries of every machine's handle map.
    std::size_t handleCount_ = 0;
    std::size_t dropRemovedAt_;
    // AddRecord's copy of its record, whose texts keep their buffers.
    AUDIT_RECORD adding_;
};

}  // namespace vzrm
