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
    live_.PushBack(true);
    ++liveCount_;
    return position;
}

void CRecordList::Remove(Position position) {
    if (!live_.Test(position)) {
        return;
    }
    live_.Reset(position);
    --liveCount_;
}

void CRecordList::SetAction(Position position, AUDIT_ACTION action) {
    records_[position].action = action;
}

namespace {

std::optional<CRecordList::Position> AsPosition(std::optional<std::size_t> at) {
    return at ? std::optional(static_cast<CRecordList::Position>(*at)) : std::nullopt;
}

}  // namespace

std::optional<CRecordList::Position> CRecordList::FirstLive() const {
    return AsPosition(live_.NextSet(0));
}

std::optional<CRecordList::Position> CRecordList::LastLive() const {
    return records_.empty() ? std::nullopt : AsPosition(live_.PrevSet(records_.size() - 1));
}

std::optional<CRecordList::Position> CRecordList::NextLive(Position position) const {
    return AsPosition(live_.NextSet(std::size_t{position} + 1));
}

std::optional<CRecordList::Position> CRecordList::PrevLive(Position position) const {
    return position == 0 ? std::nullopt : AsPosition(live_.PrevSet(position - 1));
}

std::optional<CRecordList::Position> CRecordList::LiveFrom(Position position) const {
    return AsPosition(live_.NextSet(position));
}

std::vector<CRecordList::Position> CRecordList::DropRemoved() {
    std::vector<Position> moved(records_.size(), kDropped);
    Position kept = 0;
    for (std::size_t p = 0; p < records_.size(); ++p) {
        if (live_.Test(p)) {
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
    live_.AssignSet(kept);
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
}

}  // namespace vzrm
