// The interpretation written as plainly as its description: a vector with
// erase, linear walks, ordered maps. Slow and obviously right; the real
// CEventInterpreter must give the same records.
//
// Every rule that compares handles, processes or files, or looks for a record
// of the same handle, process or file, also requires the same computer
// (ignoring case): a walk passes over the records of other machines as if
// they were not there.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "audit/audit_record.h"
#include "audit/event_fields.h"
#include "audit/event_interpreter.h"
#include "audit/object_path.h"
#include "base/case_fold.h"

namespace vzrm::test {

class ReferenceInterpreter {
  public:
    std::vector<AUDIT_RECORD> list;

    void Add(AUDIT_RECORD r) {
        if (Accept(r) && r.handleId != 0 && !r.objectName.empty()) {
            r.objectName = CanonicalizePath(r.objectName);
            list.push_back(r);
        }
    }

    void ClearHandleMaps() {
        paths_.clear();
        states_.clear();
    }

    void Pair(const std::function<bool()>& stop) {
        std::map<std::tuple<std::string, std::uint32_t, std::string, std::string>, std::uint32_t>
            counts;
        std::vector<AUDIT_RECORD> result;
        std::size_t i = 0;
        while (i < list.size()) {
            if (stop && stop()) {
                break;
            }
            const AUDIT_RECORD r = list[i];
            if (r.action == 0 || r.action == 256 || r.action == 512 || r.action == 1024) {
                ++i;
                continue;
            }
            if (r.action == ACTION_CREATE && RemoveShortLife(i)) {
                continue;
            }
            const auto key = std::make_tuple(FoldCase(r.computer), r.processId,
                                             FoldCase(r.processName), FoldCase(r.objectName));
            if (r.action == ACTION_CLOSE) {
                if (RemoveReopen(i)) {
                    continue;
                }
                const auto count = counts.find(key);
                if (count != counts.end()) {
                    if (--count->second > 0) {
                        ++i;
                        continue;
                    }
                    counts.erase(count);
                }
            }
            if (r.action == ACTION_OPEN || r.action == ACTION_CREATE) {
                const auto count = counts.find(key);
                if (count != counts.end()) {
                    ++count->second;
                    ++i;
                    continue;
                }
                counts[key] = 1;
            }
            result.push_back(r);
            ++i;
        }
        list = result;
    }

    void Filter(std::optional<std::int64_t> start, std::optional<std::int64_t> end) {
        std::vector<AUDIT_RECORD> kept;
        for (const AUDIT_RECORD& r : list) {
            if ((!start || r.time > *start) && (!end || r.time <= *end)) {
                kept.push_back(r);
            }
        }
        list = kept;
    }

  private:
    using HandleKey = std::pair<std::string, std::uint32_t>;

    static bool SameMachine(const AUDIT_RECORD& a, const AUDIT_RECORD& b) {
        return EqualNoCase(a.computer, b.computer);
    }

    bool Accept(AUDIT_RECORD& r) {
        const HandleKey h{FoldCase(r.computer), r.handleId};
        if (r.objectName.empty()) {
            if (paths_.count(h)) {
                r.objectName = paths_[h];
            }
        } else {
            const std::string ext(PathExtension(r.objectName));
            if (ext.size() > 1 && ext.find(':', 1) != std::string::npos) {
                paths_[h] = r.objectName.substr(0, r.objectName.rfind(':'));
            } else {
                paths_[h] = r.objectName;
            }
        }
        if (FoldCase(PathExtension(r.objectName)) != ".zrm") {
            return false;
        }
        if (r.action == ACTION_CLOSE) {
            paths_.erase(h);
            if (!states_.count(h)) {
                return false;
            }
            const std::uint32_t kind = states_[h].kind;
            states_.erase(h);
            if (kind == 2 || kind == 1026) {
                RemoveBackToOpen(r);
                return false;
            }
            return true;
        }
        const bool has = states_.count(h) != 0;
        if (has && states_[h].kind == 1) {
            return false;
        }
        if (r.action == ACTION_DELETE) {
            if (has) {
                if ((states_[h].kind & ~0x410u) == 2) {
                    RemoveBackToOpen(r);
                    states_.erase(h);
                } else {
                    states_[h].last = 16;
                }
            }
            return true;
        }
        if (r.action == ACTION_WRITE) {
            if (!has) {
                return true;
            }
            if (states_[h].kind == 2) {
                if (!RecentDeleteOrClose(r)) {
                    for (std::size_t k = list.size(); k-- > 0;) {
                        if (SameMachine(list[k], r) && list[k].handleId == r.handleId &&
                            list[k].action == ACTION_OPEN) {
                            list[k].action = ACTION_CREATE;
                            break;
                        }
                    }
                    states_[h] = {1, 4};
                    return false;
                }
                states_[h].kind = 6;
            }
            if (states_[h].last == 4) {
                return false;
            }
            states_[h].last = 4;
            return true;
        }
        HANDLE_STATE next;
        next.kind = r.action | (has ? states_[h].kind : 0);
        const bool reported =
            r.action == 1 || r.action == 2 || r.action == 4 || r.action == 8 || r.action == 16;
        next.last = reported ? r.action : (has ? states_[h].last : r.action);
        states_[h] = next;
        return true;
    }

    void RemoveBackToOpen(const AUDIT_RECORD& r) {
        for (std::size_t k = list.size(); k-- > 0;) {
            if (SameMachine(list[k], r) && list[k].handleId == r.handleId) {
                const bool open = list[k].action == ACTION_OPEN;
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(k));
                if (open) {
                    return;
                }
            }
        }
    }

    bool RecentDeleteOrClose(const AUDIT_RECORD& w) const {
        bool mostRecent = true;  // the machine's most recent record is not examined
        for (std::size_t k = list.size(); k-- > 0;) {
            const AUDIT_RECORD& r = list[k];
            if (!SameMachine(r, w)) {
                continue;
            }
            if (mostRecent) {
                mostRecent = false;
                continue;
            }
            if (w.time - r.time > 1) {
                return false;
            }
            if (EqualNoCase(r.objectName, w.objectName) &&
                (r.action == ACTION_DELETE ||
                 (r.action == ACTION_CLOSE && r.processId == w.processId &&
                  EqualNoCase(r.processName, w.processName)))) {
                return true;
            }
        }
        return false;
    }

    bool RemoveShortLife(std::size_t i) {
        const AUDIT_RECORD r = list[i];
        std::size_t close = i + 1;
        while (close < list.size() &&
               !(SameMachine(list[close], r) && list[close].action == ACTION_CLOSE &&
                 list[close].handleId == r.handleId)) {
            ++close;
        }
        if (close == list.size()) {
            return false;
        }
        for (std::size_t m = close + 1; m < list.size(); ++m) {
            if (!SameMachine(list[m], r)) {
                continue;
            }
            if (list[m].time - list[close].time > 1) {
                break;
            }
            if (list[m].action == ACTION_DELETE && EqualNoCase(list[m].objectName, r.objectName) &&
                IsRecorderProgram(list[m].processName)) {
                std::vector<AUDIT_RECORD> rest;
                for (std::size_t k = 0; k < list.size(); ++k) {
                    if (k < i || k > m || !SameMachine(list[k], r) ||
                        !EqualNoCase(list[k].objectName, r.objectName)) {
                        rest.push_back(list[k]);
                    }
                }
                list = rest;
                return true;
            }
        }
        return false;
    }

    bool RemoveReopen(std::size_t i) {
        const AUDIT_RECORD r = list[i];
        for (std::size_t m = i; m < list.size(); ++m) {
            const AUDIT_RECORD& o = list[m];
            if (!SameMachine(o, r)) {
                continue;
            }
            if (o.time - r.time > 1) {
                break;
            }
            if ((o.action == ACTION_OPEN || o.action == ACTION_CREATE) &&
                EqualNoCase(o.objectName, r.objectName) && o.processId == r.processId &&
                EqualNoCase(o.processName, r.processName)) {
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(m));
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    }

    std::map<HandleKey, std::string> paths_;
    std::map<HandleKey, HANDLE_STATE> states_;
};

}  // namespace vzrm::test
