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
            machines_.emplace_back(*texts_);
        }
        named = machineByName_.emplace(computer, folded->second).first;
    }
    anyMachine_ = true;
    lastComputer_ = computer;
    lastMachine_ = named->second;
    return lastMachine_;
}

bool CEventInterpreter::Accept(Machine& m, AUDIT_RECORD& record) {
    const std::uint32_t h = record.handleId;
    if (record.objectName.empty()) {
        if (const auto path = m.handlePaths.find(h); path != m.handlePaths.end()) {
            record.objectName = path->second;
        }
    } else {
        m.handlePaths[h].assign(StreamBasePath(record.objectName));
    }

    if (!HasExtension(record.objectName, extension_)) {
        // A closed handle whose path is some other file can lend nothing to a
        // later event: forgetting it keeps the map to the handles still open.
        if (record.action == ACTION_CLOSE) {
            if (const auto path = m.handlePaths.find(h);
                path != m.handlePaths.end() && !HasExtension(path->second, extension_)) {
                m.handlePaths.erase(path);
            }
        }
        return false;
    }

    if (record.action == ACTION_CLOSE) {
        return AcceptClose(m, h);
    }

    const auto state = m.handleStates.find(h);
    const bool hasState = state != m.handleStates.end();
    if (hasState && state->second.kind == kKindCreated) {
        return false;
    }

    if (record.action == ACTION_DELETE) {
        AcceptDelete(m, h, hasState ? &state->second : nullptr);
        return true;
    }

    if (record.action == ACTION_WRITE) {
        return AcceptWrite(m, record, hasState ? &state->second : nullptr);
    }

    HANDLE_STATE next;
    next.kind = record.action | (hasState ? state->second.kind : 0);
    next.last = IsReportAction(record.action) ? record.action
                                              : (hasState ? state->second.last : record.action);
    m.handleStates[h] = next;
    return true;
}

bool CEventInterpreter::AcceptClose(Machine& m, std::uint32_t h) {
    m.handlePaths.erase(h);
    const auto state = m.handleStates.find(h);
    if (state == m.handleStates.end()) {
        return false;
    }
    const std::uint32_t kind = state->second.kind;
    m.handleStates.erase(state);
    if (kind == kKindOpened || kind == kKindOpenedAndAttributes) {
        RemoveBackToOpen(m, h);
        return false;
    }
    return true;
}

void CEventInterpreter::AcceptDelete(Machine& m, std::uint32_t h, HANDLE_STATE* state) {
    if (state == nullptr) {
        return;
    }
    const std::uint32_t others = ACTION_READ_ATTRIBUTES | ACTION_DELETE;
    if ((state->kind & ~others) == kKindOpened) {
        RemoveBackToOpen(m, h);
        m.handleStates.erase(h);
    } else {
        state->last = ACTION_DELETE;
    }
}

bool CEventInterpreter::AcceptWrite(Machine& m, const AUDIT_RECORD& record, HANDLE_STATE* state) {
    if (state == nullptr) {
        return true;
    }
    HANDLE_STATE& s = *state;
    if (s.kind == kKindOpened) {
        if (!RecentDeleteOrClose(m, record)) {
            TurnLatestOpenIntoCreate(m, record.handleId);
            s = {kKindCreated, ACTION_WRITE};
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
    const bool accepted = Accept(m, record);
    removedCount_ += m.list.Size() - m.list.LiveCount() - removedBefore;
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
        order_.push_back({machine, m.list.Append(Compact(record, *texts_))});
    }
    // Opens closed with nothing done leave only removed records: these must
    // not add up over a long log.
    if (removedCount_ >= std::max(dropRemovedAt_, order_.size() - removedCount_)) {
        DropRemovedRecords();
    }
}

void CEventInterpreter::DropRemovedRecords() {
    std::vector<std::vector<Position>> moved;
    for (Machine& m : machines_) {
        moved.push_back(m.list.DropRemoved());
    }
    std::size_t kept = 0;
    for (const auto [machine, position] : order_) {
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
    }
    *texts_ = std::move(texts);
}

void CEventInterpreter::ClearHandleMaps() {
    for (Machine& m : machines_) {
        m.handlePaths.clear();
        m.handleStates.clear();
    }
}

void CEventInterpreter::RemoveBackToOpen(Machine& m, std::uint32_t handle) {
    std::vector<Position>& records = m.list.MutableHandleRecords(handle);
    while (!records.empty()) {
        const Position at = records.back();
        records.pop_back();
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

void CEventInterpreter::TurnLatestOpenIntoCreate(Machine& m, std::uint32_t handle) {
    std::vector<Position>& opens = m.list.HandleOpens(handle);
    while (!opens.empty()) {
        const Position at = opens.back();
        opens.pop_back();
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
    const std::vector<Position>& records = m.list.ObjectRecords(*object);
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
    if (!paired_) {
        final_ = LiveInLogOrder();
        paired_ = true;
    }
    std::erase_if(final_, [&](const Entry& e) {
        const std::int64_t time = machines_[e.machine].list.At(e.position).time;
        return (start && time <= *start) || (end && time > *end);
    });
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
    final_ = {};
    paired_ = false;
    return records;
}

bool CEventInterpreter::VisitRecords(const std::function<bool(const AUDIT_RECORD&)>& visit) const {
    const std::deque<Entry> live = paired_ ? std::deque<Entry>() : LiveInLogOrder();
    AUDIT_RECORD record;
    for (const auto [machine, position] : paired_ ? final_ : live) {
        Expand(machines_[machine].list.At(position), *texts_, record);
        if (!visit(record)) {
            return false;
        }
    }
    return true;
}

std::size_t CEventInterpreter::RecordCount() const {
    if (paired_) {
        return final_.size();
    }
    std::size_t count = 0;
    for (const Machine& m : machines_) {
        count += m.list.LiveCount();
    }
    return count;
}

std::deque<CEventInterpreter::Entry> CEventInterpreter::LiveInLogOrder() const {
    std::deque<Entry> live;
    for (const Entry& e : order_) {
        if (machines_[e.machine].list.IsLive(e.position)) {
            live.push_back(e);
        }
    }
    return live;
}

}  // namespace vzrm
