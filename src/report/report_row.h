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

// The field between double quotes when it holds the separator anywhere;
// otherwise unchanged. Quotes inside are left as they are.
std::string QuoteField(const std::string& field, const std::string& separator);

// The fields, each quoted as the report quotes them, joined by the separator.
std::string JoinReportFields(std::span<const std::string> fields, const std::string& separator);

// The header line: the column names joined by the separator, CR LF.
std::string ReportHeaderLine(const std::string& separator);

// One row: nine quoted fields, each followed by the separator, CR LF.
std::string ReportRowLine(const AUDIT_RECORD& record, const std::string& separator);

}  // namespace vzrm
