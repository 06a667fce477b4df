// The record list of one read, indexed so that the interpretation's removals
// and searches cost no more than the records they touch.
//
// Records keep their position (an index into the storage) for the whole read;
// a removed record leaves a tombstone that the walks skip. Beside the records
// the list keeps, per handle ID and per object name (ignoring case), the
// positions of the records the interpretation looks for, so that a search
// visits only candidates instead of walking the list.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "audit/audit_record.h"

namespace vzrm {

class CRecordList {
  public:
    using Position = std::uint32_t;
    // A key stands for a text ignoring case: equal keys, equal texts.
    using TextKey = std::uint32_t;

    Position Append(AUDIT_RECORD record);
    void Remove(Position position);
    // Opens become Creates; the only change the interpretation makes to a record.
    void SetAction(Position position, AUDIT_ACTION action);

    const AUDIT_RECORD& At(Position position) const { return records_[position]; }
    bool IsLive(Position position) const { return !removed_[position]; }
    TextKey ObjectKey(Position position) const { return objectKeys_[position]; }
    TextKey ProcessKey(Position position) const { return processKeys_[position]; }
    std::size_t LiveCount() const { return liveCount_; }
    std::size_t Size() const { return records_.size(); }
    // True while every record was appended no earlier than the one before it.
    bool InTimeOrder() const { return inTimeOrder_; }

    // The key of a text if any record carries it.
    std::optional<TextKey> FindObjectKey(std::string_view objectName) const;
    std::optional<TextKey> FindProcessKey(std::string_view processName) const;

    // Live neighbours; nullopt at either end.
    std::optional<Position> FirstLive() const;
    std::optional<Position> LastLive() const;
    std::optional<Position> NextLive(Position position) const;
    std::optional<Position> PrevLive(Position position) const;
    // The first live position at or after `position`.
    std::optional<Position> LiveFrom(Position position) const;

    // Positions by handle ID, in list order. The entries may name records that
    // were removed since or whose action changed: callers check.
    const std::vector<Position>& HandleRecords(std::uint32_t handle) const;
    std::vector<Position>& MutableHandleRecords(std::uint32_t handle);
    std::vector<Position>& HandleOpens(std::uint32_t handle);
    const std::vector<Position>& HandleCloses(std::uint32_t handle) const;

    // Positions by object name, in list order; same caveat.
    const std::vector<Position>& ObjectRecords(TextKey key) const { return byObject_[key].all; }
    const std::vector<Position>& ObjectOpens(TextKey key) const { return byObject_[key].opens; }
    const std::vector<Position>& ObjectCloses(TextKey key) const { return byObject_[key].closes; }
    const std::vector<Position>& ObjectDeletes(TextKey key) const { return byObject_[key].deletes; }

    // The live records in list order.
    std::vector<AUDIT_RECORD> TakeLive();

  private:
    struct HandleIndex {
        std::vector<Position> all;
        std::vector<Position> opens;
        std::vector<Position> closes;
    };
    struct ObjectIndex {
        std::vector<Position> all;
        std::vector<Position> opens;  // Opens and the Creates they became
        std::vector<Position> closes;
        std::vector<Position> deletes;
    };

    TextKey Intern(std::unordered_map<std::string, TextKey>& keys, std::string_view text);
    // Union-find over tombstones: the nearest live position in one direction.
    std::optional<Position> Skip(std::vector<std::int64_t>& jump, std::int64_t from) const;

    std::vector<AUDIT_RECORD> records_;
    std::vector<bool> removed_;
    std::vector<TextKey> objectKeys_;
    std::vector<TextKey> processKeys_;
    std::size_t liveCount_ = 0;
    bool inTimeOrder_ = true;

    std::unordered_map<std::string, TextKey> objectKeyOf_;
    std::unordered_map<std::string, TextKey> processKeyOf_;
    std::vector<ObjectIndex> byObject_;
    std::unordered_map<std::uint32_t, HandleIndex> byHandle_;

    // jumpForward_[p]: a position >= p from which the next live one is searched.
    mutable std::vector<std::int64_t> jumpForward_;
    mutable std::vector<std::int64_t> jumpBackward_;
};

}  // namespace vzrm
