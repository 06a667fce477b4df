// The history of recordings across many audit reports: which rows to keep,
// and the rows of all reports merged, each once, in time order.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "report/report_history_read.h"

namespace vzrm {

// Names compare without regard to case; '*' stands for any run of characters
// and '?' for one.
bool WildcardMatch(std::string_view pattern, std::string_view text);

// A bound of the period, "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", as the sort
// key of rows ("YYYY.MM.DD HH:MM:SS"); a date alone is its first second, or
// its last for the end. False when the text is no such date-time.
bool ParseHistoryBound(const std::string& text, bool end, std::string& key);

// The rows wanted; an empty pattern or bound lets every row through.
struct HistoryFilter {
    std::string file;     // the file's name, or its whole path when it holds a '\'
    std::string user;     // the user, with or without the domain
    std::string program;  // the program's name, or its whole path
    std::string from;     // keys of ParseHistoryBound, both included
    std::string to;
    bool Matches(const REPORT_ROW& row) const;
};

// "YYYY.MM.DD HH:MM:SS" of the row.
std::string RowTimeKey(const REPORT_ROW& row);
// The file's folder and name: the recording the row is about.
std::string RowRecording(const REPORT_ROW& row);
// The program's folder and name.
std::string RowProgram(const REPORT_ROW& row);

struct HISTORY_ROW {
    REPORT_ROW row;
    std::size_t report = 0;      // the first report that holds it
    std::size_t lastReport = 0;  // the last one
    std::size_t repeat = 0;      // the n-th equal row of its report
    std::size_t read = 0;        // how many rows were kept before it
};

// Rows are added report by report, the reports in the order of their runs.
// A row that an earlier report holds as well is kept once: the n-th equal
// row of a report stands for the n-th of any other, so equal rows of one
// report (two opens in one second) stay apart.
class CHistory {
  public:
    CHistory() = default;
    CHistory(const CHistory&) = delete;  // kept_ looks into this object's rows_
    CHistory& operator=(const CHistory&) = delete;

    void BeginReport(std::string name);
    void Add(const REPORT_ROW& row);
    // Oldest first; rows of one second in the order of their reports.
    const std::vector<HISTORY_ROW>& Rows();
    const std::vector<std::string>& Reports() const { return reports_; }

  private:
    // The rows kept are looked up by their index: their text is held once.
    struct RowHash {
        const std::vector<HISTORY_ROW>* rows;
        std::size_t operator()(std::size_t row) const;
    };
    struct RowEqual {
        const std::vector<HISTORY_ROW>* rows;
        bool operator()(std::size_t a, std::size_t b) const;
    };

    std::vector<std::string> reports_;
    std::vector<HISTORY_ROW> rows_;
    std::unordered_set<std::size_t, RowHash, RowEqual> kept_{0, RowHash{&rows_}, RowEqual{&rows_}};
    std::unordered_map<std::string, std::size_t> repeats_;  // row text -> count in this report
    std::string key_;
    bool sorted_ = true;
};

}  // namespace vzrm
