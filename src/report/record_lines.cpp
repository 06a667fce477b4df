#include "report/record_lines.h"

#include <cstdio>

#include "base/local_date_time.h"
#include "base/terminal_text.h"
#include "report/json_text.h"
#include "report/report_row.h"

namespace vzrm {
namespace {

constexpr char kComma[] = ",";

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

}  // namespace

bool ParseRecordFormat(std::string_view text, RecordFormat& format) {
    for (const auto& [name, value] : {std::pair{"tsv", RecordFormat::tsv},
                                      {"csv", RecordFormat::csv},
                                      {"json", RecordFormat::json}}) {
        if (text == name) {
            format = value;
            return true;
        }
    }
    return false;
}

std::string RecordHeader(RecordFormat format) {
    if (format != RecordFormat::csv) {
        return {};
    }
    const std::string names[] = {"date",   "time",     "computer",     "user",
                                 "object", "action",   "process",      "handle",
                                 "pid",    "event_id", "record_number"};
    return JoinReportFields(names, kComma) + "\r\n";
}

std::string RecordLine(const AUDIT_RECORD& r, RecordFormat format) {
    const std::string date = InstantToReportText(r.time, "%Y.%m.%d");
    const std::string time = InstantToReportText(r.time, "%H:%M:%S");
    const std::string action = ActionWord(r.action);
    switch (format) {
        case RecordFormat::json:
            return CJsonObject()
                       .Text("date", date)
                       .Text("time", time)
                       .Text("computer", r.computer)
                       .Text("user", r.user)
                       .Text("object", r.objectName)
                       .Text("action", action)
                       .Text("process", r.processName)
                       .Number("handle", r.handleId)
                       .Number("pid", r.processId)
                       .Number("event_id", r.eventId)
                       .Number("record_number", r.recordNumber)
                       .Close() +
                   "\n";
        case RecordFormat::csv: {
            const std::string fields[] = {date,
                                          time,
                                          r.computer,
                                          r.user,
                                          r.objectName,
                                          action,
                                          r.processName,
                                          Hex(r.handleId),
                                          Hex(r.processId),
                                          std::to_string(r.eventId),
                                          std::to_string(r.recordNumber)};
            return JoinReportFields(fields, kComma) + "\r\n";
        }
        case RecordFormat::tsv:
        default:
            // Texts of the log cannot start a column or a line, nor drive the terminal.
            return date + "\t" + time + "\t" + EscapeControls(r.computer) + "\t" +
                   EscapeControls(r.user) + "\t" + EscapeControls(r.objectName) + "\t" + action +
                   "\t" + EscapeControls(r.processName) + "\t" + Hex(r.handleId) + "\t" +
                   Hex(r.processId) + "\t" + std::to_string(r.eventId) + "\t" +
                   std::to_string(r.recordNumber) + "\n";
    }
}

}  // namespace vzrm
