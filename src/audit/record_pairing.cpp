// The passes after reading: pairing of opens and closes, and the searches it
// makes within one machine's records.
#include <algorithm>

#include "audit/event_fields.h"
#include "audit/event_interpreter.h"
#include "base/flat_map.h"

namespace vzrm {
namespace {

using Position = CRecordList::Position;

struct OpenKey {
    std::uint32_t machine;
    std::uint32_t processId;
    CRecordList::TextKey process;
    CRecordList::TextKey object;
    bool operator==(const OpenKey&) const = default;
};

struct OpenKeyHash {
    std::size_t operator()(const OpenKey& k) const {
        std::uint64_t h = k.machine;
        h = h * 0x9E3779B97F4A7C15ull ^ k.processId;
        h = h * 0x9E3779B97F4A7C15ull ^ k.process;
        h = h * 0x9E3779B97F4A7C15ull ^ k.object;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

// Opens not yet closed: an entry per file a process holds open, which a log
// of opens never closed has as many of as it has rows.
using OpenCounts = CFlatMap<OpenKey, std::uint32_t, OpenKeyHash>;

// Whether an open, create or close is of a process's outermost access to an
// object: opens nested in one already open, and their closes, are not reported.
bool OutermostAccess(OpenCounts& openCount, const OpenKey& key, std::uint32_t action) {
    if (action == ACTION_CLOSE) {
        if (std::uint32_t* count = openCount.Find(key)) {
            if (--*count > 0) {
                return false;
            }
            openCount.Erase(count);
        }
    } else if (action == ACTION_OPEN || action == ACTION_CREATE) {
        const auto [count, inserted] = openCount.Insert(key);
        ++*count;
        if (!inserted) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<Position> CEventInterpreter::FirstCloseAfter(Machine& m, std::uint32_t handle,
                                                           Position after) {
    const std::span<const Position> closes = m.list.HandleCloses(handle);
    std::size_t& cursor = m.closeCursor[handle];
    // The walk only moves forward and removals are final, so the cursor never goes back.
    while (cursor < closes.size() && (closes[cursor] <= after || !m.list.IsLive(closes[cursor]))) {
        ++cursor;
    }
    return cursor < closes.size() ? std::optional(closes[cursor]) : std::nullopt;
}

std::optional<Position> CEventInterpreter::RecorderDeleteAfter(const Machine& m, Position close,
                                                               CRecordList::TextKey object) {
    const std::int64_t closeTime = m.list.At(close).time;
    auto isRecorderDelete = [&](Position p) {
        const CompactRecord& r = m.list.At(p);
        return r.action == ACTION_DELETE && m.list.ObjectKey(p) == object &&
               IsRecorderProgram(m.list.Text(r.processName));
    };
    if (!m.list.InTimeOrder()) {
        for (auto p = m.list.NextLive(close); p && WithinOneSecond(closeTime, m.list.At(*p).time);
             p = m.list.NextLive(*p)) {
            if (isRecorderDelete(*p)) {
                return p;
            }
        }
        return std::nullopt;
    }
    const std::span<const Position> records = m.list.ObjectRecords(object);
    for (auto it = std::upper_bound(records.begin(), records.end(), close);
         it != records.end() && WithinOneSecond(closeTime, m.list.At(*it).time); ++it) {
        if (m.list.IsLive(*it) && isRecorderDelete(*it)) {
            return *it;
        }
    }
    return std::nullopt;
}

std::optional<Position> CEventInterpreter::ReopenAfter(const Machine& m, Position close) {
    const CompactRecord& r = m.list.At(close);
    const CRecordList::TextKey object = m.list.ObjectKey(close);
    const CRecordList::TextKey process = m.list.ProcessKey(close);
    auto isReopen = [&](Position p) {
        const CompactRecord& o = m.list.At(p);
        return (o.action == ACTION_OPEN || o.action == ACTION_CREATE) &&
               m.list.ObjectKey(p) == object && o.processId == r.processId &&
               m.list.ProcessKey(p) == process;
    };
    if (!m.list.InTimeOrder()) {
        for (auto p = m.list.NextLive(close); p && WithinOneSecond(r.time, m.list.At(*p).time);
             p = m.list.NextLive(*p)) {
            if (isReopen(*p)) {
                return p;
            }
        }
        return std::nullopt;
    }
    const std::span<const Position> records = m.list.ObjectRecords(object);
    for (auto it = std::upper_bound(records.begin(), records.end(), close);
         it != records.end() && WithinOneSecond(r.time, m.list.At(*it).time); ++it) {
        if (m.list.IsLive(*it) && isReopen(*it)) {
            return *it;
        }
    }
    return std::nullopt;
}

void CEventInterpreter::RemoveObjectRecords(Machine& m, CRecordList::TextKey object, Position from,
                                            Position through) {
    const std::span<const Position> records = m.list.ObjectRecords(object);
    for (auto it = std::lower_bound(records.begin(), records.end(), from);
         it != records.end() && *it <= through; ++it) {
        m.list.Remove(*it);
    }
}

// A file a recorder deletes within a second of closing it was never worth
// reporting: the create at `at` and its whole short life go.
bool CEventInterpreter::RemoveShortLife(Machine& m, Position at) {
    const CompactRecord& r = m.list.At(at);
    if (const auto close = FirstCloseAfter(m, r.handleId, at)) {
        if (const auto del = RecorderDeleteAfter(m, *close, m.list.ObjectKey(at))) {
            RemoveObjectRecords(m, m.list.ObjectKey(at), at, *del);
            return true;
        }
    }
    return false;
}

// A close and a reopen by the same process within a second are one access:
// both go.
bool CEventInterpreter::RemoveCloseAndReopen(Machine& m, Position at) {
    if (const auto reopen = ReopenAfter(m, at)) {
        m.list.Remove(*reopen);
        m.list.Remove(at);
        return true;
    }
    return false;
}

void CEventInterpreter::PairRecords(const std::function<bool()>& stopRequested) {
    // No more texts come: their search table goes, and the open counts take
    // its room, sized once for the opens there are.
    texts_->ReleaseSearch();
    std::size_t opens = 0;
    for (std::size_t i = 0; i < OrderSize(); ++i) {
        const auto [machine, at] = OrderAt(i);
        const CRecordList& list = machines_[machine].list;
        opens += list.IsLive(at) &&
                 (list.At(at).action == ACTION_OPEN || list.At(at).action == ACTION_CREATE);
    }
    OpenCounts openCount;
    openCount.Reserve(opens);
    // Removals only reach forwards, so the walk never goes back; after one it
    // stays where it is and moves on to the next live record. What is not
    // kept is removed: the final records are the live ones, in log order.
    std::size_t next = 0;
    for (; next < OrderSize(); ++next) {
        const auto [machine, at] = OrderAt(next);
        Machine& m = machines_[machine];
        CRecordList& list = m.list;
        if (!list.IsLive(at)) {
            continue;
        }
        if (stopRequested && stopRequested()) {
            break;
        }
        const CompactRecord& r = list.At(at);
        if (!IsReportAction(r.action)) {
            list.Remove(at);
            continue;
        }
        // Either removes the record at `at` when it applies.
        if (r.action == ACTION_CREATE && RemoveShortLife(m, at)) {
            continue;
        }
        if (r.action == ACTION_CLOSE && RemoveCloseAndReopen(m, at)) {
            continue;
        }
        const OpenKey key{machine, r.processId, list.ProcessKey(at), list.ObjectKey(at)};
        if (!OutermostAccess(openCount, key, r.action)) {
            list.Remove(at);
        }
    }
    // Stopped: what was not decided is not kept.
    for (; next < OrderSize(); ++next) {
        const auto [machine, at] = OrderAt(next);
        machines_[machine].list.Remove(at);
    }
    // The final records stay where they are: what found them goes.
    for (Machine& m : machines_) {
        m.list.ReleaseSearchIndexes();
        m.closeCursor = {};
    }
    removedCount_ = 0;
}

}  // namespace vzrm
