// Which records a read has seen, by computer (ignoring case) and record
// number: an archived log and the live log after it may both hold the records
// around the moment of archiving.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

namespace vzrm {

class CReadRecords {
  public:
    CReadRecords() = default;
    CReadRecords(const CReadRecords&) = delete;
    CReadRecords& operator=(const CReadRecords&) = delete;

    // True the first time a record is seen; false when it was seen before.
    bool FirstSight(const std::string& computer, std::uint64_t recordNumber);
    void Clear();

  private:
    // Runs of consecutive record numbers (first -> last): a log's records are
    // numbered one after the other, so a whole file is a run or a few.
    using Runs = std::map<std::uint64_t, std::uint64_t>;
    static bool Insert(Runs& runs, std::uint64_t number);

    std::unordered_map<std::string, Runs> byComputer_;
    std::string lastComputer_;
    Runs* lastRuns_ = nullptr;
};

}  // namespace vzrm
