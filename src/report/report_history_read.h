// Reading a CSV audit report back, a line at a time: the separator from its
// header line, its rows as the nine fields the writer put in, and the lines
// that are no part of a report (edited, cut short, another separator).
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <string>

namespace vzrm {

// The report's columns, in the order of its header.
enum ReportColumn {
    kColumnDate,
    kColumnTime,
    kColumnComputer,
    kColumnUser,
    kColumnFileFolder,
    kColumnFileName,
    kColumnEvent,
    kColumnProgramFolder,
    kColumnProgramName,
    kReportColumns
};

// One row, its fields unquoted.
struct REPORT_ROW {
    std::string fields[kReportColumns];
    const std::string& operator[](ReportColumn column) const { return fields[column]; }
};

struct ReportReadOutcome {
    bool isReport = false;  // its header line was found
    std::size_t rows = 0;
    std::size_t badLines = 0;
    std::size_t firstBadLine = 0;  // counted from 1
    std::string firstBadReason;
};

// Reads the report from `in`; `onRow` hears each good row (the same object,
// refilled, each time). A file without the header among its first lines is
// no report and its lines are not looked at further.
ReportReadOutcome ReadReportRows(std::istream& in,
                                 const std::function<void(const REPORT_ROW&)>& onRow);

// The separator of a header line (without its line end); empty when the line
// is no header.
std::string HeaderSeparator(const std::string& line);

// Splits a row line into its fields; false when it is no row of nine fields.
bool SplitReportRow(const std::string& line, const std::string& separator, REPORT_ROW& row);

}  // namespace vzrm
