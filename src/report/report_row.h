// The CSV audit report's header and rows.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "audit/audit_record.h"

namespace vzrm {

// "Create", "Open", "Write", "Close" or "Delete"; empty for any other value.
std::string ActionWord(std::uint32_t action);

// A Windows path as the report shows it: the folder (drive and directory,
// ending with a backslash, empty when the path has none) and the name
// (file name and extension).
struct ReportPathParts {
    std::string folder;
    std::string name;
};
ReportPathParts SplitReportPath(const std::string& path);

// The field up to its first CR or LF; between double quotes, with the quotes
// inside doubled, when it holds the separator anywhere or starts with a quote.
// Windows allows no quotes in file and computer names, so real rows keep the
// form they always had.
std::string QuoteField(const std::string& field, const std::string& separator);

// The fields, each quoted as the report quotes them, joined by the separator.
std::string JoinReportFields(std::span<const std::string> fields, const std::string& separator);

// The header line: the column names joined by the separator, CR LF.
std::string ReportHeaderLine(const std::string& separator);

// One row: nine quoted fields, each followed by the separator, CR LF.
std::string ReportRowLine(const AUDIT_RECORD& record, const std::string& separator);

// ReportRowLine for the rows of one report: the action words, the line's
// buffer and the texts of the last time are kept from one row to the next.
class CReportRowWriter {
  public:
    explicit CReportRowWriter(std::string separator);
    // The row's line; valid until the next call.
    const std::string& Line(const AUDIT_RECORD& record);

  private:
    std::string separator_;
    std::string actions_[ACTION_DELETE + 1];
    std::string line_;
    std::string drives_[2];  // the folders of paths like "C:name"
    bool hasTime_ = false;
    std::int64_t time_ = 0;
    std::string dateAndTime_[2];
};

}  // namespace vzrm
