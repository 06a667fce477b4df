#include "audit/record_list.h"

namespace vzrm {
namespace {

const std::vector<CRecordList::Position> kNoPositions;

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
    byObject_[texts_->KeyOf(record.objectName)].push_back(position);
    HandleIndex& handle = byHandle_[record.handleId];
    handle.all.push_back(position);
    if (record.action == ACTION_OPEN) {
        handle.opens.push_back(position);
    } else if (record.action == ACTION_CLOSE) {
        handle.closes.push_back(position);
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

void CRecordList::ReleaseSearchIndexes() {
    byObject_ = {};
    byHandle_ = {};
    jumpForward_ = {};
    jumpBackward_ = {};
}

}  // namespace vzrm
