// The record list of one read, indexed so that the interpretation's removals
// and searches cost no more than the records they touch.
//
// Records keep their position (an index into the storage) until the removed
// ones are dropped (DropRemoved renumbers the rest, in the same order); a
// removed record leaves a tombstone that the walks skip. Beside the records
// the list keeps, per object name (ignoring case) and per handle ID, the
// positions of the records the interpretation looks for, so that a search
// visits only the records of one file or the closes of one handle instead of
// walking the list. (Per file all its records: a file's few records cost less
// to walk than a list per kind of access costs to keep.) The records of one
// handle are linked from the latest back by the interpreter, which holds the
// latest only while the handle is open.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "audit/compact_record.h"
#include "audit/position_lists.h"
#include "audit/text_pool.h"
#include "base/bit_levels.h"
#include "base/chunked_vector.h"

namespace vzrm {

class CRecordList {
  public:
    using Position = std::uint32_t;
    // DropRemoved's new position of a record that went.
    static constexpr Position kDropped = CPositionLists::kNone;
    // No record: the end of a handle's links.
    static constexpr Position kNoPosition = CPositionLists::kNone;
    // A key stands for a text ignoring case: equal keys, equal texts.
    using TextKey = CTextPool::Key;

    // `texts` holds the texts of the records and outlives the list.
    explicit CRecordList(const CTextPool& texts) : texts_(&texts) {}

    // `handleLink`: the handle's record before this one, or kNoPosition.
    Position Append(const CompactRecord& record, Position handleLink = kNoPosition);
    void Remove(Position position);
    // Opens become Creates; the only change the interpretation makes to a record.
    void SetAction(Position position, AUDIT_ACTION action);

    const CompactRecord& At(Position position) const { return records_[position]; }
    Position HandleLink(Position position) const { return handleLinks_[position]; }
    std::string_view Text(CTextPool::Id id) const { return texts_->Text(id); }
    bool IsLive(Position position) const { return live_.Test(position); }
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

    // The closes of a handle ID, in list order. The entries may name records
    // that were removed since: callers check.
    std::span<const Position> HandleCloses(std::uint32_t handle) const {
        return closes_.Of(handle);
    }
    // Positions by object name, in list order; same caveat, and an action may
    // have changed. Valid until the list changes other than by Remove.
    std::span<const Position> ObjectRecords(TextKey key) const { return byObject_.Of(key); }

    // Drops the removed records: a read that removes most of what it appends
    // then holds only what stays. The live records keep their order and move
    // down; the result gives, by old position, each one's new position
    // (kDropped for a removed record). The indexes and links follow.
    std::vector<Position> DropRemoved();
    // Interns the records' texts in `to`, which is to replace the list's pool;
    // `ids` maps the pool's ids to those in `to` (kNoId: not there yet).
    void MoveTexts(CTextPool& to, std::vector<CTextPool::Id>& ids);
    // Frees what only the searches and removals need: afterwards the list
    // answers At, IsLive, Text and the counts, and nothing changes it.
    void ReleaseSearchIndexes();

  private:
    const CTextPool* texts_;
    CChunkedVector<CompactRecord> records_;
    CChunkedVector<Position> handleLinks_;
    // A bit per record, set while it is live.
    CBitLevels live_;
    std::size_t liveCount_ = 0;
    bool inTimeOrder_ = true;

    // By the key of the object name (the keys of a shared pool are sparse).
    CPositionLists byObject_;
    CPositionLists closes_;
};

}  // namespace vzrm
