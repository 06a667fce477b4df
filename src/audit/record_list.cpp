#include "audit/record_list.h"

#include <iterator>

namespace vzrm {

CRecordList::Position CRecordList::Append(const CompactRecord& record, Position handleLink) {
    const auto position = static_cast<Position>(records_.size());
    if (!records_.empty() && record.time < records_.back().time) {
        inTimeOrder_ = false;
    }
    byObject_.Add(texts_->KeyOf(record.objectName), position);
    if (record.action == ACTION_CLOSE) {
        closes_.Add(record.handleId, position);
    }
    records_.push_back(record);
    handleLinks_.push_back(handleLink);
    removed_.push_back(false);
    jumpForward_.push_back(position + 1);
    jumpBackward_.push_back(position + 1);
    ++liveCount_;
    return position;
}

void CRecordList::Remove(Position position) {
    if (removed_[position]) {
        return;
    }
    removed_[position] = true;
    // After ReleaseSearchIndexes nothing walks the tombstones.
    if (position < jumpForward_.size()) {
        jumpForward_[position] = position + 2;
        jumpBackward_[position] = position;
    }
    --liveCount_;
}

void CRecordList::SetAction(Position position, AUDIT_ACTION action) {
    records_[position].action = action;
}

std::optional<CRecordList::Position> CRecordList::Skip(std::deque<Position>& jump,
                                                       std::int64_t from) const {
    const auto size = static_cast<std::int64_t>(records_.size());
    std::int64_t at = from;
    while (at >= 0 && at < size && removed_[static_cast<std::size_t>(at)]) {
        at = static_cast<std::int64_t>(jump[static_cast<std::size_t>(at)]) - 1;
    }
    // Path compression: every tombstone on the way now jumps straight to the end.
    for (std::int64_t p = from; p >= 0 && p < size && removed_[static_cast<std::size_t>(p)];) {
        const std::int64_t next = static_cast<std::int64_t>(jump[static_cast<std::size_t>(p)]) - 1;
        jump[static_cast<std::size_t>(p)] = static_cast<Position>(at + 1);
        p = next;
    }
    if (at < 0 || at >= size) {
        return std::nullopt;
    }
    return static_cast<Position>(at);
}

std::optional<CRecordList::Position> CRecordList::FirstLive() const {
    return Skip(jumpForward_, 0);
}

std::optional<CRecordList::Position> CRecordList::LastLive() const {
    return Skip(jumpBackward_, static_cast<std::int64_t>(records_.size()) - 1);
}

std::optional<CRecordList::Position> CRecordList::NextLive(Position position) const {
    return Skip(jumpForward_, static_cast<std::int64_t>(position) + 1);
}

std::optional<CRecordList::Position> CRecordList::PrevLive(Position position) const {
    return Skip(jumpBackward_, static_cast<std::int64_t>(position) - 1);
}

std::optional<CRecordList::Position> CRecordList::LiveFrom(Position position) const {
    return Skip(jumpForward_, position);
}

std::vector<CRecordList::Position> CRecordList::DropRemoved() {
    std::vector<Position> moved(records_.size(), kDropped);
    Position kept = 0;
    for (std::size_t p = 0; p < records_.size(); ++p) {
        if (!removed_[p]) {
            records_[kept] = records_[p];
            handleLinks_[kept] = handleLinks_[p];
            moved[p] = kept++;
        }
    }
    records_.shrink_to(kept);
    handleLinks_.shrink_to(kept);
    for (Position p = 0; p < kept; ++p) {
        if (handleLinks_[p] != kNoPosition) {
            handleLinks_[p] = moved[handleLinks_[p]];
        }
    }
    removed_.assign(kept, false);
    jumpForward_.clear();
    jumpBackward_.clear();
    for (Position p = 0; p < kept; ++p) {
        jumpForward_.push_back(p + 1);
        jumpBackward_.push_back(p + 1);
    }
    byObject_.Follow(moved);
    closes_.Follow(moved);
    return moved;
}

void CRecordList::MoveTexts(CTextPool& to, std::vector<CTextPool::Id>& ids) {
    const auto move = [&](CTextPool::Id& id) {
        if (ids[id] == CTextPool::kNoId) {
            ids[id] = to.Intern(texts_->Text(id));
        }
        id = ids[id];
    };
    // The object index by the new keys, which a record of each key gives.
    std::vector<TextKey> newKeys(texts_->Size(), CTextPool::kNoId);
    for (std::size_t p = 0; p < records_.size(); ++p) {
        CompactRecord& record = records_[p];
        const TextKey key = texts_->KeyOf(record.objectName);
        move(record.user);
        move(record.computer);
        move(record.objectName);
        move(record.processName);
        newKeys[key] = to.KeyOf(record.objectName);
    }
    CPositionLists byObject;
    byObject_.ForEach([&](TextKey key, std::span<const Position> positions) {
        for (const Position p : positions) {
            byObject.Add(newKeys[key], p);
        }
    });
    byObject_ = std::move(byObject);
}

void CRecordList::ReleaseSearchIndexes() {
    byObject_.Release();
    closes_.Release();
    handleLinks_ = {};
    jumpForward_ = {};
    jumpBackward_ = {};
}

}  // namespace vzrm
