// The record list of one read, indexed so that the interpretation's removals
// and searches cost no more than the records they touch.
//
// Records keep their position (an index into the storage) until the removed
// ones are dropped (DropRemoved renumbers the rest, in the same order); a
// removed record leaves a tombstone that the walks skip. Beside the records
// the list keeps, per handle ID and per object name (ignoring case), the
// positions of the records the interpretation looks for, so that a search
// visits only the records of one handle or one file instead of walking the
// list. (Per file all its records: a file's few records cost less to walk
// than a list per kind of access costs to keep.)
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "audit/compact_record.h"
#include "audit/text_pool.h"
#include "base/chunked_vector.h"

namespace vzrm {

class CRecordList {
  public:
    using Position = std::uint32_t;
    // DropRemoved's new position of a record that went.
    static constexpr Position kDropped = 0xFFFFFFFFu;
    // A key stands for a text ignoring case: equal keys, equal texts.
    using TextKey = CTextPool::Key;

    // `texts` holds the texts of the records and outlives the list.
    explicit CRecordList(const CTextPool& texts) : texts_(&texts) {}

    Position Append(const CompactRecord& record);
    void Remove(Position position);
    // Opens become Creates; the only change the interpretation makes to a record.
    void SetAction(Position position, AUDIT_ACTION action);

    const CompactRecord& At(Position position) const { return records_[position]; }
    std::string_view Text(CTextPool::Id id) const { return texts_->Text(id); }
    bool IsLive(Position position) const { return !removed_[position]; }
    TextKey ObjectKey(Position position) const {
        return texts_->KeyOf(records_[position].objectName);
    }
    TextKey ProcessKey(Position position) const {
        return texts_->KeyOf(records_[position].processName);
    }
    std::size_t LiveCount() const { return liveCount_; }
    std::size_t Size() const { return records_.size(); }
    // True while every record was appended no earlier than the one before it.
    bool InTimeOrder() const { return inTimeOrder_; }

    // The key of a text if the pool holds it; no record of this list need carry it.
    std::optional<TextKey> FindKey(std::string_view text) const { return texts_->FindKey(text); }

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
    const std::vector<Position>& ObjectRecords(TextKey key) const;

    // Drops the removed records: a read that removes most of what it appends
    // then holds only what stays. The live records keep their order and move
    // down; the result gives, by old position, each one's new position
    // (kDropped for a removed record). The indexes follow.
    std::vector<Position> DropRemoved();
    // Interns the records' texts in `to`, which is to replace the list's pool;
    // `ids` maps the pool's ids to those in `to` (kNoId: not there yet).
    void MoveTexts(CTextPool& to, std::vector<CTextPool::Id>& ids);
    // Frees what only the searches and removals need: afterwards the list
    // answers At, IsLive, Text and the counts, and nothing changes it.
    void ReleaseSearchIndexes();

  private:
    struct HandleIndex {
        std::vector<Position> all;
        std::vector<Position> opens;
        std::vector<Position> closes;
    };

    // Union-find over tombstones: the nearest live position in one direction.
    std::optional<Position> Skip(std::deque<Position>& jump, std::int64_t from) const;

    const CTextPool* texts_;
    CChunkedVector<CompactRecord> records_;
    std::vector<bool> removed_;
    std::size_t liveCount_ = 0;
    bool inTimeOrder_ = true;

    // By the key of the object name (the keys of a shared pool are sparse).
    std::unordered_map<TextKey, std::vector<Position>> byObject_;
    std::unordered_map<std::uint32_t, HandleIndex> byHandle_;

    // jumpForward_[p] - 1: a position >= p from which the next live one is
    // searched; jumpBackward_[p] - 1 one <= p, or -1 before the first.
    mutable std::deque<Position> jumpForward_;
    mutable std::deque<Position> jumpBackward_;
};

}  // namespace vzrm
