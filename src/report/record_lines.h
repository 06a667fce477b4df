// The reader's final records as lines for scripts: tab-separated (the
// default), CSV quoted as the report quotes its fields, or JSON Lines.
#pragma once

#include <string>
#include <string_view>

#include "audit/audit_record.h"

namespace vzrm {

enum class RecordFormat { tsv, csv, json };

// "tsv", "csv" or "json"; false for anything else.
bool ParseRecordFormat(std::string_view text, RecordFormat& format);

// What comes before the first record: the CSV's line of column names.
std::string RecordHeader(RecordFormat format);

// One record: date, time, computer, user, object, action, process, handle,
// process ID, event ID, record number; with its line end.
std::string RecordLine(const AUDIT_RECORD& record, RecordFormat format);

}  // namespace vzrm
