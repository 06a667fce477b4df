#include "audit/event_interpreter.h"

#include <algorithm>

#include "audit/event_fields.h"
#include "audit/object_path.h"
#include "base/case_fold.h"

namespace vzrm {
namespace {

using Position = CRecordList::Position;

constexpr std::uint32_t kKindCreated = 1;
constexpr std::uint32_t kKindOpened = 2;
constexpr std::uint32_t kKindOpenedAndWritten = 6;
constexpr std::uint32_t kKindOpenedAndAttributes = ACTION_OPEN | ACTION_READ_ATTRIBUTES;

}  // namespace

CEventInterpreter::CEventInterpreter(std::string extension, std::size_t dropRemovedAt)
    : extension_(std::move(extension)),
      texts_(std::make_unique<CTextPool>()),
      dropRemovedAt_(dropRemovedAt) {}

std::uint32_t CEventInterpreter::MachineIndex(const std::string& computer) {
    // Events of one machine mostly follow each other; most lookups stop here.
    if (anyMachine_ && computer == lastComputer_) {
        return lastMachine_;
    }
    auto named = machineByName_.find(computer);
    if (named == machineByName_.end()) {
        const auto [folded, added] = machineByFoldedName_.try_emplace(
            FoldCase(computer), static_cast<std::uint32_t>(machines_.size()));
        if (added) {
            // With a second machine the log order needs its entries.
            if (machines_.size() == 1) {
                for (Position p = 0; p < machines_[0].list.Size(); ++p) {
                    order_.push_back({0, p});
                }
            }
            machines_.emplace_back(*texts_);
        }
        named = machineByName_.emplace(computer, folded->second).first;
    }
    anyMachine_ = true;
    lastComputer_ = computer;
    lastMachine_ = named->second;
    return lastMachine_;
}

CEventInterpreter::Handle* CEventInterpreter::TakePath(Machine& m, AUDIT_RECORD& record) {
    Handle* handle = m.handles.Find(record.handleId);
    if (record.objectName.empty()) {
        if (handle != nullptr && handle->path != CTextPool::kNoId) {
            record.objectName = texts_->Text(handle->path);
        }
        return handle;
    }
    const std::string_view path = StreamBasePath(record.objectName);
    if (HasExtension(path, extension_)) {
        if (handle == nullptr) {
            handle = m.handles.Insert(record.handleId).first;
        }
        handle->path = texts_->Intern(path);
    } else if (handle != nullptr) {
        handle->path = CTextPool::kNoId;
        if (!handle->HasState()) {
            m.handles.Erase(handle);
            handle = nullptr;
        }
    }
    return handle;
}

bool CEventInterpreter::Accept(Machine& m, AUDIT_RECORD& record) {
    Handle* handle = TakePath(m, record);
    if (!HasExtension(record.objectName, extension_)) {
        return false;
    }
    if (record.action == ACTION_CLOSE) {
        return AcceptClose(m, record.handleId);
    }

    const bool hasState = handle != nullptr && handle->HasState();
    if (hasState && handle->kind == kKindCreated) {
        return false;
    }
    if (record.action == ACTION_DELETE) {
        AcceptDelete(m, record.handleId, hasState ? handle : nullptr);
        return true;
    }
    if (record.action == ACTION_WRITE) {
        return AcceptWrite(m, record, hasState ? handle : nullptr);
    }

    const std::uint32_t kind = record.action | (hasState ? handle->kind : 0u);
    const std::uint32_t last = IsReportAction(record.action)
                                   ? record.action
                                   : (hasState ? handle->last : std::uint32_t{record.action});
    if (handle == nullptr) {
        handle = m.handles.Insert(record.handleId).first;
    }
    handle->kind = static_cast<std::uint16_t>(kind);
    handle->last = static_cast<std::uint16_t>(last);
    return true;
}

bool CEventInterpreter::AcceptClose(Machine& m, std::uint32_t id) {
    Handle* handle = m.handles.Find(id);
    if (handle == nullptr) {
        return false;
    }
    const std::uint32_t kind = handle->kind;
    const bool hasState = handle->HasState();
    if (hasState && (kind == kKindOpened || kind == kKindOpenedAndAttributes)) {
        RemoveBackToOpen(m, *handle);
        m.handles.Erase(handle);
        return false;
    }
    m.handles.Erase(handle);
    return hasState;
}

void CEventInterpreter::AcceptDelete(Machine& m, std::uint32_t id, Handle* handle) {
    if (handle == nullptr) {
        return;
    }
    const std::uint32_t others = ACTION_READ_ATTRIBUTES | ACTION_DELETE;
    if ((handle->kind & ~others) == kKindOpened) {
        RemoveBackToOpen(m, *handle);
        handle->kind = Handle::kNoState;
        if (handle->path == CTextPool::kNoId) {
            m.handles.Erase(id);
        }
    } else {
        handle->last = ACTION_DELETE;
    }
}

bool CEventInterpreter::AcceptWrite(Machine& m, const AUDIT_RECORD& record, Handle* handle) {
    if (handle == nullptr) {
        return true;
    }
    Handle& s = *handle;
    if (s.kind == kKindOpened) {
        if (!RecentDeleteOrClose(m, record)) {
            TurnLatestOpenIntoCreate(m, s);
            s.kind = kKindCreated;
            s.last = ACTION_WRITE;
            return false;
        }
        s.kind = kKindOpenedAndWritten;
    }
    if (s.last == ACTION_WRITE) {
        return false;
    }
    s.last = ACTION_WRITE;
    return true;
}

bool CEventInterpreter::AcceptRecord(AUDIT_RECORD& record) {
    return AcceptCounted(machines_[MachineIndex(record.computer)], record);
}

bool CEventInterpreter::AcceptCounted(Machine& m, AUDIT_RECORD& record) {
    const std::size_t removedBefore = m.list.Size() - m.list.LiveCount();
    const std::size_t handlesBefore = m.handles.size();
    const bool accepted = Accept(m, record);
    removedCount_ += m.list.Size() - m.list.LiveCount() - removedBefore;
    handleCount_ += m.handles.size();
    handleCount_ -= handlesBefore;
    return accepted;
}

void CEventInterpreter::AddRecord(const AUDIT_RECORD& added) {
    AUDIT_RECORD& record = adding_;
    record = added;
    const std::uint32_t machine = MachineIndex(record.computer);
    Machine& m = machines_[machine];
    const bool accepted = AcceptCounted(m, record);
    if (accepted && record.handleId != 0 && !record.objectName.empty()) {
        if (HasDotSegment(record.objectName)) {
            record.objectName = CanonicalizePath(record.objectName);
        }
        Handle* handle = m.handles.Find(record.handleId);
        const Position at =
            m.list.Append(Compact(record, *texts_),
                          handle != nullptr ? handle->latest : CRecordList::kNoPosition);
        if (handle != nullptr) {
            handle->latest = at;
        }
        if (machines_.size() > 1) {
            order_.push_back({machine, at});
        }
    }
    // Opens closed with nothing done leave only removed records: these must
    // not add up over a long log. What the drop renumbers (the live records
    // and the handles' entries) is paid for by the records it drops.
    if (removedCount_ >= std::max(dropRemovedAt_, OrderSize() - removedCount_ + handleCount_)) {
        DropRemovedRecords();
    }
}

void CEventInterpreter::DropRemovedRecords() {
    std::vector<std::vector<Position>> moved;
    for (Machine& m : machines_) {
        moved.push_back(m.list.DropRemoved());
        m.handles.ForEach([&](std::uint32_t, Handle& handle) {
            if (handle.latest != CRecordList::kNoPosition) {
                handle.latest = moved.back()[handle.latest];
            }
        });
    }
    std::size_t kept = 0;
    for (const auto [machine, position] : order_) {  // empty with one machine
        const Position to = moved[machine][position];
        if (to != CRecordList::kDropped) {
            order_[kept++] = {machine, to};
        }
    }
    order_.resize(kept);
    removedCount_ = 0;

    // The texts that only removed records had go too: the pool is made anew
    // from the records that stay, in place, so that the lists still find it.
    CTextPool texts;
    std::vector<CTextPool::Id> ids(texts_->Size(), CTextPool::kNoId);
    for (Machine& m : machines_) {
        m.list.MoveTexts(texts, ids);
        m.handles.ForEach([&](std::uint32_t, Handle& handle) {
            if (handle.path != CTextPool::kNoId) {
                if (ids[handle.path] == CTextPool::kNoId) {
                    ids[handle.path] = texts.Intern(texts_->Text(handle.path));
                }
                handle.path = ids[handle.path];
            }
        });
    }
    *texts_ = std::move(texts);
}

void CEventInterpreter::ClearHandleMaps() {
    for (Machine& m : machines_) {
        m.handles.Release();
    }
    handleCount_ = 0;
}

void CEventInterpreter::RemoveBackToOpen(Machine& m, Handle& handle) {
    while (handle.latest != CRecordList::kNoPosition) {
        const Position at = handle.latest;
        handle.latest = m.list.HandleLink(at);
        if (!m.list.IsLive(at)) {
            continue;
        }
        const bool wasOpen = m.list.At(at).action == ACTION_OPEN;
        m.list.Remove(at);
        if (wasOpen) {
            return;
        }
    }
}

void CEventInterpreter::TurnLatestOpenIntoCreate(Machine& m, const Handle& handle) {
    for (Position at = handle.latest; at != CRecordList::kNoPosition; at = m.list.HandleLink(at)) {
        if (m.list.IsLive(at) && m.list.At(at).action == ACTION_OPEN) {
            m.list.SetAction(at, ACTION_CREATE);
            return;
        }
    }
}

bool CEventInterpreter::RecentDeleteOrClose(const Machine& m, const AUDIT_RECORD& write) {
    // The walk starts at the second-to-last record: the most recent is not examined.
    const auto last = m.list.LastLive();
    const auto start = last ? m.list.PrevLive(*last) : std::nullopt;
    const auto object = m.list.FindKey(write.objectName);
    if (!start || !object) {
        return false;
    }
    const auto process = m.list.FindKey(write.processName);
    auto closedBySameProcess = [&](Position p) {
        return m.list.At(p).processId == write.processId && process &&
               m.list.ProcessKey(p) == *process;
    };
    auto tooOld = [&](Position p) { return !WithinOneSecond(m.list.At(p).time, write.time); };

    if (!m.list.InTimeOrder()) {
        for (auto p = start; p; p = m.list.PrevLive(*p)) {
            if (tooOld(*p)) {
                return false;
            }
            const AUDIT_ACTION action = m.list.At(*p).action;
            if (m.list.ObjectKey(*p) == *object &&
                (action == ACTION_DELETE || (action == ACTION_CLOSE && closedBySameProcess(*p)))) {
                return true;
            }
        }
        return false;
    }

    // In time order the walk covers exactly the records from `start` back to the
    // first one more than a second old, so only this file's records matter.
    const std::span<const Position> records = m.list.ObjectRecords(*object);
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (*it > *start) {
            continue;
        }
        if (tooOld(*it)) {
            return false;
        }
        const AUDIT_ACTION action = m.list.At(*it).action;
        if (m.list.IsLive(*it) &&
            (action == ACTION_DELETE || (action == ACTION_CLOSE && closedBySameProcess(*it)))) {
            return true;
        }
    }
    return false;
}

void CEventInterpreter::FilterPeriod(std::optional<std::int64_t> start,
                                     std::optional<std::int64_t> end) {
    for (std::size_t i = 0; i < OrderSize(); ++i) {
        const auto [machine, position] = OrderAt(i);
        CRecordList& list = machines_[machine].list;
        if (list.IsLive(position)) {
            const std::int64_t time = list.At(position).time;
            if ((start && time <= *start) || (end && time > *end)) {
                list.Remove(position);
            }
        }
    }
}

std::vector<AUDIT_RECORD> CEventInterpreter::TakeRecords() {
    std::vector<AUDIT_RECORD> records;
    records.reserve(RecordCount());
    VisitRecords([&](const AUDIT_RECORD& record) {
        records.push_back(record);
        return true;
    });
    for (Machine& m : machines_) {
        m.list = CRecordList(*texts_);
    }
    order_ = {};
    removedCount_ = 0;
    return records;
}

bool CEventInterpreter::VisitRecords(const std::function<bool(const AUDIT_RECORD&)>& visit) const {
    AUDIT_RECORD record;
    for (std::size_t i = 0; i < OrderSize(); ++i) {
        const auto [machine, position] = OrderAt(i);
        const CRecordList& list = machines_[machine].list;
        if (!list.IsLive(position)) {
            continue;
        }
        Expand(list.At(position), *texts_, record);
        if (!visit(record)) {
            return false;
        }
    }
    return true;
}

std::size_t CEventInterpreter::RecordCount() const {
    std::size_t count = 0;
    for (const Machine& m : machines_) {
        count += m.list.LiveCount();
    }
    return count;
}

}  // namespace vzrm
