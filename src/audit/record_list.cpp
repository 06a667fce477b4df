#include "audit/record_list.h"

#include "base/case_fold.h"

namespace vzrm {
namespace {

const std::vector<CRecordList::Position> kNoPositions;

}  // namespace

CRecordList::TextKey CRecordList::Intern(std::unordered_map<std::string, TextKey>& keys,
                                         std::string_view text) {
    const auto [it, inserted] = keys.try_emplace(FoldCase(text), static_cast<TextKey>(keys.size()));
    return it->second;
}

std::optional<CRecordList::TextKey> CRecordList::FindObjectKey(std::string_view objectName) const {
    const auto it = objectKeyOf_.find(FoldCase(objectName));
    return it == objectKeyOf_.end() ? std::nullopt : std::optional(it->second);
}

std::optional<CRecordList::TextKey> CRecordList::FindProcessKey(
    std::string_view processName) const {
    const auto it = processKeyOf_.find(FoldCase(processName));
    return it == processKeyOf_.end() ? std::nullopt : std::optional(it->second);
}

CRecordList::Position CRecordList::Append(AUDIT_RECORD record) {
    const auto position = static_cast<Position>(records_.size());
    if (!records_.empty() && record.time < records_.back().time) {
        inTimeOrder_ = false;
    }
    const TextKey objectKey = Intern(objectKeyOf_, record.objectName);
    if (objectKey == byObject_.size()) {
        byObject_.emplace_back();
    }
    ObjectIndex& object = byObject_[objectKey];
    object.all.push_back(position);
    HandleIndex& handle = byHandle_[record.handleId];
    handle.all.push_back(position);
    switch (record.action) {
        case ACTION_CREATE:
        case ACTION_OPEN:
            object.opens.push_back(position);
            if (record.action == ACTION_OPEN) {
                handle.opens.push_back(position);
            }
            break;
        case ACTION_CLOSE:
            object.closes.push_back(position);
            handle.closes.push_back(position);
            break;
        case ACTION_DELETE:
            object.deletes.push_back(position);
            break;
        default:
            break;
    }
    objectKeys_.push_back(objectKey);
    processKeys_.push_back(Intern(processKeyOf_, record.processName));
    records_.push_back(std::move(record));
    removed_.push_back(false);
    jumpForward_.push_back(position);
    jumpBackward_.push_back(position);
    ++liveCount_;
    return position;
}

void CRecordList::Remove(Position position) {
    if (removed_[position]) {
        return;
    }
    removed_[position] = true;
    jumpForward_[position] = static_cast<std::int64_t>(position) + 1;
    jumpBackward_[position] = static_cast<std::int64_t>(position) - 1;
    --liveCount_;
}

void CRecordList::SetAction(Position position, AUDIT_ACTION action) {
    records_[position].action = action;
}

std::optional<CRecordList::Position> CRecordList::Skip(std::vector<std::int64_t>& jump,
                                                       std::int64_t from) const {
    const auto size = static_cast<std::int64_t>(records_.size());
    std::int64_t at = from;
    while (at >= 0 && at < size && removed_[static_cast<std::size_t>(at)]) {
        at = jump[static_cast<std::size_t>(at)];
    }
    // Path compression: every tombstone on the way now jumps straight to the end.
    for (std::int64_t p = from; p >= 0 && p < size && removed_[static_cast<std::size_t>(p)];) {
        const std::int64_t next = jump[static_cast<std::size_t>(p)];
        jump[static_cast<std::size_t>(p)] = at;
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

std::vector<AUDIT_RECORD> CRecordList::TakeLive() {
    std::vector<AUDIT_RECORD> live;
    live.reserve(liveCount_);
    for (std::size_t p = 0; p < records_.size(); ++p) {
        if (!removed_[p]) {
            live.push_back(std::move(records_[p]));
        }
    }
    *this = CRecordList();
    return live;
}

}  // namespace vzrm
