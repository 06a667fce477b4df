// The history's rows and the recordings' lives as lines: tab-separated (the
// default), CSV quoted as the report quotes its fields, or JSON Lines.
#pragma once

#include <string>
#include <vector>

#include "report/record_lines.h"
#include "report/report_lifecycle.h"

namespace vzrm {

// The CSV's line of column names before the rows; empty for the others.
// `sealed`: the rows end with their report's seal status.
std::string HistoryHeader(RecordFormat format, bool sealed = false);
// The row's nine fields and the name of the report it came from, line end
// included. With `seals` (one per report, where the folder holds a seal)
// then whether that report verifies: verify's status of it ("ok",
// "changed", "unsealed", ...).
std::string HistoryLine(const HISTORY_ROW& row, const std::vector<std::string>& reports,
                        RecordFormat format, const std::vector<std::string>* seals = nullptr);

// The CSV's line of column names before the lives; empty for the others.
std::string LifeHeader(RecordFormat format);
// A recording's life: created, last written, opens, deleted or present, and
// its first and last report; line end included.
std::string LifeLine(const RECORDING_LIFE& life, const std::vector<std::string>& reports,
                     RecordFormat format);

}  // namespace vzrm
