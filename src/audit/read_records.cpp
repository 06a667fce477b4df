#include "audit/read_records.h"

#include <iterator>

#include "base/case_fold.h"

namespace vzrm {

bool CReadRecords::FirstSight(const std::string& computer, std::uint64_t recordNumber) {
    if (lastRuns_ == nullptr || computer != lastComputer_) {
        lastRuns_ = &byComputer_[FoldCase(computer)];
        lastComputer_ = computer;
    }
    return Insert(*lastRuns_, recordNumber);
}

void CReadRecords::Clear() {
    byComputer_.clear();
    lastComputer_.clear();
    lastRuns_ = nullptr;
}

bool CReadRecords::Insert(Runs& runs, std::uint64_t number) {
    auto after = runs.upper_bound(number);  // the first run that starts later
    const bool joinsAfter = after != runs.end() && after->first == number + 1;
    if (after != runs.begin()) {
        const auto before = std::prev(after);
        if (before->second >= number) {
            return false;
        }
        if (before->second + 1 == number) {
            before->second = joinsAfter ? after->second : number;
            if (joinsAfter) {
                runs.erase(after);
            }
            return true;
        }
    }
    if (joinsAfter) {
        const std::uint64_t last = after->second;
        runs.erase(after);
        runs.emplace(number, last);
    } else {
        runs.emplace_hint(after, number, number);
    }
    return true;
}

}  // namespace vzrm
