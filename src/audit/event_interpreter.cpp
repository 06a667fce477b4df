#include "audit/event_interpreter.h"

#include <algorithm>

#include "audit/event_fields.h"
#include "audit/object_path.h"

namespace vzrm {
namespace {

using Position = CRecordList::Position;

constexpr std::uint32_t kKindCreated = 1;
constexpr std::uint32_t kKindOpened = 2;
constexpr std::uint32_t kKindOpenedAndWritten = 6;
constexpr std::uint32_t kKindOpenedAndAttributes = ACTION_OPEN | ACTION_READ_ATTRIBUTES;

// "Not more than one second after": a difference of 0 or 1 second.
bool WithinOneSecond(std::int64_t earlier, std::int64_t later) {
    return later - earlier <= 1;
}

struct OpenKey {
    std::uint32_t processId;
    CRecordList::TextKey process;
    CRecordList::TextKey object;
    bool operator==(const OpenKey&) const = default;
};

struct OpenKeyHash {
    std::size_t operator()(const OpenKey& k) const {
        std::uint64_t h = k.processId;
        h = h * 0x9E3779B97F4A7C15ull ^ k.process;
        h = h * 0x9E3779B97F4A7C15ull ^ k.object;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

}  // namespace

CEventInterpreter::CEventInterpreter(std::string extension) : extension_(std::move(extension)) {}

bool CEventInterpreter::AcceptRecord(AUDIT_RECORD& record) {
    const std::uint32_t h = record.handleId;
    if (record.objectName.empty()) {
        if (const auto path = handlePaths_.find(h); path != handlePaths_.end()) {
            record.objectName = path->second;
        }
    } else {
        handlePaths_[h] = std::string(StreamBasePath(record.objectName));
    }

    if (!HasExtension(record.objectName, extension_)) {
        return false;
    }

    if (record.action == ACTION_CLOSE) {
        handlePaths_.erase(h);
        const auto state = handleStates_.find(h);
        if (state == handleStates_.end()) {
            return false;
        }
        const std::uint32_t kind = state->second.kind;
        handleStates_.erase(state);
        if (kind == kKindOpened || kind == kKindOpenedAndAttributes) {
            RemoveBackToOpen(h);
            return false;
        }
        return true;
    }

    const auto state = handleStates_.find(h);
    const bool hasState = state != handleStates_.end();
    if (hasState && state->second.kind == kKindCreated) {
        return false;
    }

    if (record.action == ACTION_DELETE) {
        if (hasState) {
            const std::uint32_t others = ACTION_READ_ATTRIBUTES | ACTION_DELETE;
            if ((state->second.kind & ~others) == kKindOpened) {
                RemoveBackToOpen(h);
                handleStates_.erase(state);
            } else {
                state->second.last = ACTION_DELETE;
            }
        }
        return true;
    }

    if (record.action == ACTION_WRITE) {
        if (!hasState) {
            return true;
        }
        HANDLE_STATE& s = state->second;
        if (s.kind == kKindOpened) {
            if (!RecentDeleteOrClose(record)) {
                TurnLatestOpenIntoCreate(h);
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

    HANDLE_STATE next;
    next.kind = record.action | (hasState ? state->second.kind : 0);
    next.last = IsReportAction(record.action) ? record.action
                                              : (hasState ? state->second.last : record.action);
    handleStates_[h] = next;
    return true;
}

void CEventInterpreter::AddRecord(AUDIT_RECORD record) {
    if (!AcceptRecord(record) || record.handleId == 0 || record.objectName.empty()) {
        return;
    }
    record.objectName = CanonicalizePath(record.objectName);
    list_.Append(std::move(record));
}

void CEventInterpreter::ClearHandleMaps() {
    handlePaths_.clear();
    handleStates_.clear();
}

void CEventInterpreter::RemoveBackToOpen(std::uint32_t handle) {
    std::vector<Position>& records = list_.MutableHandleRecords(handle);
    while (!records.empty()) {
        const Position at = records.back();
        records.pop_back();
        if (!list_.IsLive(at)) {
            continue;
        }
        const bool wasOpen = list_.At(at).action == ACTION_OPEN;
        list_.Remove(at);
        if (wasOpen) {
            return;
        }
    }
}

void CEventInterpreter::TurnLatestOpenIntoCreate(std::uint32_t handle) {
    std::vector<Position>& opens = list_.HandleOpens(handle);
    while (!opens.empty()) {
        const Position at = opens.back();
        opens.pop_back();
        if (list_.IsLive(at) && list_.At(at).action == ACTION_OPEN) {
            list_.SetAction(at, ACTION_CREATE);
            return;
        }
    }
}

bool CEventInterpreter::RecentDeleteOrClose(const AUDIT_RECORD& write) const {
    // The walk starts at the second-to-last record: the most recent is not examined.
    const auto last = list_.LastLive();
    const auto start = last ? list_.PrevLive(*last) : std::nullopt;
    const auto object = list_.FindObjectKey(write.objectName);
    if (!start || !object) {
        return false;
    }
    const auto process = list_.FindProcessKey(write.processName);
    auto closedBySameProcess = [&](Position p) {
        return list_.At(p).processId == write.processId && process &&
               list_.ProcessKey(p) == *process;
    };
    auto tooOld = [&](Position p) { return !WithinOneSecond(list_.At(p).time, write.time); };

    if (!list_.InTimeOrder()) {
        for (auto p = start; p; p = list_.PrevLive(*p)) {
            if (tooOld(*p)) {
                return false;
            }
            const AUDIT_ACTION action = list_.At(*p).action;
            if (list_.ObjectKey(*p) == *object &&
                (action == ACTION_DELETE || (action == ACTION_CLOSE && closedBySameProcess(*p)))) {
                return true;
            }
        }
        return false;
    }

    // In time order the walk covers exactly the records from `start` back to the
    // first one more than a second old, so only this file's candidates matter.
    auto anyCandidate = [&](const std::vector<Position>& candidates, auto&& matches) {
        for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
            if (*it > *start) {
                continue;
            }
            if (tooOld(*it)) {
                return false;
            }
            if (list_.IsLive(*it) && matches(*it)) {
                return true;
            }
        }
        return false;
    };
    return anyCandidate(list_.ObjectDeletes(*object), [](Position) { return true; }) ||
           anyCandidate(list_.ObjectCloses(*object), closedBySameProcess);
}

std::optional<Position> CEventInterpreter::FirstCloseAfter(std::uint32_t handle, Position after) {
    const std::vector<Position>& closes = list_.HandleCloses(handle);
    std::size_t& cursor = closeCursor_[handle];
    // The walk only moves forward and removals are final, so the cursor never goes back.
    while (cursor < closes.size() && (closes[cursor] <= after || !list_.IsLive(closes[cursor]))) {
        ++cursor;
    }
    return cursor < closes.size() ? std::optional(closes[cursor]) : std::nullopt;
}

std::optional<Position> CEventInterpreter::RecorderDeleteAfter(Position close,
                                                               CRecordList::TextKey object) const {
    const std::int64_t closeTime = list_.At(close).time;
    auto isRecorderDelete = [&](Position p) {
        const AUDIT_RECORD& r = list_.At(p);
        return r.action == ACTION_DELETE && list_.ObjectKey(p) == object &&
               IsRecorderProgram(r.processName);
    };
    if (!list_.InTimeOrder()) {
        for (auto p = list_.NextLive(close); p && WithinOneSecond(closeTime, list_.At(*p).time);
             p = list_.NextLive(*p)) {
            if (isRecorderDelete(*p)) {
                return p;
            }
        }
        return std::nullopt;
    }
    const std::vector<Position>& deletes = list_.ObjectDeletes(object);
    for (auto it = std::upper_bound(deletes.begin(), deletes.end(), close);
         it != deletes.end() && WithinOneSecond(closeTime, list_.At(*it).time); ++it) {
        if (list_.IsLive(*it) && isRecorderDelete(*it)) {
            return *it;
        }
    }
    return std::nullopt;
}

std::optional<Position> CEventInterpreter::ReopenAfter(Position close) const {
    const AUDIT_RECORD& r = list_.At(close);
    const CRecordList::TextKey object = list_.ObjectKey(close);
    const CRecordList::TextKey process = list_.ProcessKey(close);
    auto isReopen = [&](Position p) {
        const AUDIT_RECORD& o = list_.At(p);
        return (o.action == ACTION_OPEN || o.action == ACTION_CREATE) &&
               list_.ObjectKey(p) == object && o.processId == r.processId &&
               list_.ProcessKey(p) == process;
    };
    if (!list_.InTimeOrder()) {
        for (auto p = list_.NextLive(close); p && WithinOneSecond(r.time, list_.At(*p).time);
             p = list_.NextLive(*p)) {
            if (isReopen(*p)) {
                return p;
            }
        }
        return std::nullopt;
    }
    const std::vector<Position>& opens = list_.ObjectOpens(object);
    for (auto it = std::upper_bound(opens.begin(), opens.end(), close);
         it != opens.end() && WithinOneSecond(r.time, list_.At(*it).time); ++it) {
        if (list_.IsLive(*it) && isReopen(*it)) {
            return *it;
        }
    }
    return std::nullopt;
}

void CEventInterpreter::RemoveObjectRecords(CRecordList::TextKey object, Position from,
                                            Position through) {
    const std::vector<Position>& records = list_.ObjectRecords(object);
    for (auto it = std::lower_bound(records.begin(), records.end(), from);
         it != records.end() && *it <= through; ++it) {
        list_.Remove(*it);
    }
}

void CEventInterpreter::PairRecords(const std::function<bool()>& stopRequested) {
    std::unordered_map<OpenKey, std::uint32_t, OpenKeyHash> openCount;
    std::vector<AUDIT_RECORD> kept;
    kept.reserve(list_.LiveCount());
    auto p = list_.FirstLive();
    while (p) {
        if (stopRequested && stopRequested()) {
            break;
        }
        const Position at = *p;
        const AUDIT_RECORD& r = list_.At(at);
        if (!IsReportAction(r.action)) {
            p = list_.NextLive(at);
            continue;
        }
        if (r.action == ACTION_CREATE) {
            // A file a recorder deletes within a second of closing it was never
            // worth reporting: its whole short life goes.
            if (const auto close = FirstCloseAfter(r.handleId, at)) {
                if (const auto del = RecorderDeleteAfter(*close, list_.ObjectKey(at))) {
                    RemoveObjectRecords(list_.ObjectKey(at), at, *del);
                    p = list_.LiveFrom(at);
                    continue;
                }
            }
        }
        const OpenKey key{r.processId, list_.ProcessKey(at), list_.ObjectKey(at)};
        bool keep = true;
        if (r.action == ACTION_CLOSE) {
            // A close and a reopen by the same process within a second are one access.
            if (const auto reopen = ReopenAfter(at)) {
                list_.Remove(*reopen);
                list_.Remove(at);
                p = list_.LiveFrom(at);
                continue;
            }
            if (const auto count = openCount.find(key); count != openCount.end()) {
                if (--count->second > 0) {
                    keep = false;
                } else {
                    openCount.erase(count);
                }
            }
        } else if (r.action == ACTION_OPEN || r.action == ACTION_CREATE) {
            const auto [count, inserted] = openCount.try_emplace(key, 1);
            if (!inserted) {
                ++count->second;
                keep = false;
            }
        }
        if (keep) {
            kept.push_back(r);
        }
        p = list_.NextLive(at);
    }
    final_ = std::move(kept);
    list_ = CRecordList();
    closeCursor_.clear();
    paired_ = true;
}

void CEventInterpreter::FilterPeriod(std::optional<std::int64_t> start,
                                     std::optional<std::int64_t> end) {
    if (!paired_) {
        final_ = list_.TakeLive();
        paired_ = true;
    }
    std::erase_if(final_, [&](const AUDIT_RECORD& r) {
        return (start && r.time <= *start) || (end && r.time > *end);
    });
}

std::vector<AUDIT_RECORD> CEventInterpreter::TakeRecords() {
    if (!paired_) {
        return list_.TakeLive();
    }
    paired_ = false;
    return std::move(final_);
}

std::size_t CEventInterpreter::RecordCount() const {
    return paired_ ? final_.size() : list_.LiveCount();
}

}  // namespace vzrm
