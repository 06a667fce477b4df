// From the access events of one read of the Security log to the records of the
// report: the per-handle state machine that decides which records enter the
// list, then pairing and the period filter once the whole log has been read.
//
// The cost is linear in the number of events for a log read in time order:
// every search below visits only the candidates that the record list indexes
// for it (see record_list.h), and each record is removed at most once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "audit/audit_record.h"
#include "audit/record_list.h"

namespace vzrm {

struct HANDLE_STATE {
    std::uint32_t kind =
        0;  // the actions seen on the handle, OR-ed; 1 = created, 6 = opened and written
    std::uint32_t last = 0;  // the last reported action on the handle
};

class CEventInterpreter {
  public:
    // `extension` is the one file filter; the program always uses ".zrm".
    explicit CEventInterpreter(std::string extension = ".zrm");

    // Decides whether the record enters the list; may change the list, the maps
    // and the record's object name.
    bool AcceptRecord(AUDIT_RECORD& record);
    // The reader's rule for one event: appended, with its object name
    // canonicalised, when accepted with a handle ID and an object name.
    void AddRecord(AUDIT_RECORD record);
    // Run once after reading, in this order.
    void ClearHandleMaps();
    void PairRecords(const std::function<bool()>& stopRequested = {});
    // Keeps records later than `start` and not later than `end`; a missing bound is open.
    void FilterPeriod(std::optional<std::int64_t> start, std::optional<std::int64_t> end);

    // The list as it stands: after PairRecords, the final records.
    std::vector<AUDIT_RECORD> TakeRecords();
    std::size_t RecordCount() const;

  private:
    using Position = CRecordList::Position;

    void RemoveBackToOpen(std::uint32_t handle);
    void TurnLatestOpenIntoCreate(std::uint32_t handle);
    bool RecentDeleteOrClose(const AUDIT_RECORD& write) const;

    // PairRecords' searches; each returns the matching position.
    std::optional<Position> FirstCloseAfter(std::uint32_t handle, Position after);
    std::optional<Position> RecorderDeleteAfter(Position close, CRecordList::TextKey object) const;
    std::optional<Position> ReopenAfter(Position close) const;
    void RemoveObjectRecords(CRecordList::TextKey object, Position from, Position through);

    std::string extension_;
    CRecordList list_;
    std::unordered_map<std::uint32_t, std::string> handlePaths_;
    std::unordered_map<std::uint32_t, HANDLE_STATE> handleStates_;
    // Per handle, how far FirstCloseAfter has looked through its closes.
    std::unordered_map<std::uint32_t, std::size_t> closeCursor_;
    bool paired_ = false;
    std::vector<AUDIT_RECORD> final_;
};

}  // namespace vzrm
