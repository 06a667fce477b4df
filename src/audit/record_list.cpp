#include "audit/record_list.h"

#include <iterator>

namespace vzrm {
namespace {

const std::vector<CRecordList::Position> kNoPositions;

// A list's first block takes six positions: the allocator's smallest block
// holds them anyway, and most handles and files have no more records.
void AddPosition(std::vector<CRecordList::Position>& positions, CRecordList::Position position) {
    if (positions.capacity() == 0) {
        positions.reserve(6);
    }
    positions.push_back(position);
}

}  // namespace

const std::vector<CRecordList::Position>& CRecordList::ObjectRecords(TextKey key) const {
    const auto it = byObject_.find(key);
    return it == byObject_.end() ? kNoPositions : it->second;
}

CRecordList::Position CRecordList::Append(const CompactRecord& record) {
    const auto position = static_cast<Position>(records_.size());
    if (!records_.empty() && record.time < records_.back().time) {
        inTimeOrder_ = false;
    }
    AddPosition(byObject_[texts_->KeyOf(record.objectName)], position);
    HandleIndex& handle = byHandle_[record.handleId];
    AddPosition(handle.all, position);
    if (record.action == ACTION_OPEN) {
        AddPosition(handle.opens, position);
    } else if (record.action == ACTION_CLOSE) {
        AddPosition(handle.closes, position);
    }
    records_.push_back(record);
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
    jumpForward_[position] = position + 2;
    jumpBackward_[position] = position;
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

const std::vector<CRecordList::Position>& CRecordList::HandleRecords(std::uint32_t handle) const {
    const auto it = byHandle_.find(handle);
    return it == byHandle_.end() ? kNoPositions : it->second.all;
}

std::vector<CRecordList::Position>& CRecordList::MutableHandleRecords(std::uint32_t handle) {
    return byHandle_[handle].all;
}

std::vector<CRecordList::Position>& CRecordList::HandleOpens(std::uint32_t handle) {
    return byHandle_[handle].opens;
}

const std::vector<CRecordList::Position>& CRecordList::HandleCloses(std::uint32_t handle) const {
    const auto it = byHandle_.find(handle);
    return it == byHandle_.end() ? kNoPositions : it->second.closes;
}

std::vector<CRecordList::Position> CRecordList::DropRemoved() {
    std::vector<Position> moved(records_.size(), kDropped);
    Position kept = 0;
    for (std::size_t p = 0; p < records_.size(); ++p) {
        if (!removed_[p]) {
            records_[kept] = records_[p];
            moved[p] = kept++;
        }
    }
    records_.shrink_to(kept);
    removed_.assign(kept, false);
    jumpForward_.clear();
    jumpBackward_.clear();
    for (Position p = 0; p < kept; ++p) {
        jumpForward_.push_back(p + 1);
        jumpBackward_.push_back(p + 1);
    }
    // Each index list keeps its kept positions, renumbered; empty lists go.
    const auto follow = [&](std::vector<Position>& positions) {
        std::size_t n = 0;
        for (const Position p : positions) {
            if (moved[p] != kDropped) {
                positions[n++] = moved[p];
            }
        }
        positions.resize(n);
        return n == 0;
    };
    for (auto it = byObject_.begin(); it != byObject_.end();) {
        it = follow(it->second) ? byObject_.erase(it) : std::next(it);
    }
    for (auto it = byHandle_.begin(); it != byHandle_.end();) {
        HandleIndex& index = it->second;
        const bool noRecords = follow(index.all);
        const bool noOpens = follow(index.opens);
        const bool noCloses = follow(index.closes);
        it = noRecords && noOpens && noCloses ? byHandle_.erase(it) : std::next(it);
    }
    return moved;
}

void CRecordList::MoveTexts(CTextPool& to, std::vector<CTextPool::Id>& ids) {
    const auto move = [&](CTextPool::Id& id) {
        if (ids[id] == CTextPool::kNoId) {
            ids[id] = to.Intern(texts_->Text(id));
        }
        id = ids[id];
    };
    // The object index by the new keys: one text of each key takes its list along.
    std::unordered_map<TextKey, std::vector<Position>> byObject;
    for (std::size_t p = 0; p < records_.size(); ++p) {
        CompactRecord& record = records_[p];
        const TextKey key = texts_->KeyOf(record.objectName);
        move(record.user);
        move(record.computer);
        move(record.objectName);
        move(record.processName);
        if (const auto object = byObject_.find(key); object != byObject_.end()) {
            byObject.emplace(to.KeyOf(record.objectName), std::move(object->second));
            byObject_.erase(object);
        }
    }
    byObject_ = std::move(byObject);
}

void CRecordList::ReleaseSearchIndexes() {
    byObject_ = {};
    byHandle_ = {};
    jumpForward_ = {};
    jumpBackward_ = {};
}

}  // namespace vzrm
