#include "report/report_row.h"

#include "base/local_date_time.h"
#include "base/resource_text.h"

namespace vzrm {

std::string ActionWord(std::uint32_t action) {
    switch (action) {
        case ACTION_CREATE:
            return LoadResourceText(58396);
        case ACTION_OPEN:
            return LoadResourceText(58397);
        case ACTION_WRITE:
            return LoadResourceText(58400);
        case ACTION_CLOSE:
            return LoadResourceText(58398);
        case ACTION_DELETE:
            return LoadResourceText(58399);
        default:
            return {};
    }
}

// Parts longer than the classic split limits are kept whole: truncating them
// would put a wrong folder or name into the report.
ReportPathParts SplitReportPath(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    ReportPathParts parts;
    if (slash == std::string::npos) {
        const bool drive = path.size() >= 2 && path[1] == ':';
        parts.folder = drive ? path.substr(0, 2) + "\\" : std::string();
        parts.name = drive ? path.substr(2) : path;
        return parts;
    }
    parts.folder = path.substr(0, slash + 1);
    parts.name = path.substr(slash + 1);
    return parts;
}

std::string QuoteField(const std::string& text, const std::string& separator) {
    // A line break in a field would forge a row of its own.
    const std::string field = text.substr(0, text.find_first_of("\r\n"));
    // A field that starts with a quote would be read as a quoted one.
    const bool quoted = (!separator.empty() && field.find(separator) != std::string::npos) ||
                        (!field.empty() && field[0] == '"');
    if (!quoted) {
        return field;
    }
    std::string out = "\"";
    for (char c : field) {
        out += c == '"' ? "\"\"" : std::string(1, c);
    }
    return out + "\"";
}

std::string JoinReportFields(std::span<const std::string> fields, const std::string& separator) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += i == 0 ? "" : separator;
        line += QuoteField(fields[i], separator);
    }
    return line;
}

std::string ReportHeaderLine(const std::string& separator) {
    const std::string& s = separator;
    return FormatResource(58402, s, s, s, s, s, s, s, s);
}

std::string ReportRowLine(const AUDIT_RECORD& record, const std::string& separator) {
    const ReportPathParts object = SplitReportPath(record.objectName);
    const ReportPathParts program = SplitReportPath(record.processName);
    const std::string fields[] = {
        InstantToReportText(record.time, "%Y.%m.%d"),
        InstantToReportText(record.time, "%H:%M:%S"),
        record.computer,
        record.user,
        object.folder,
        object.name,
        ActionWord(record.action),
        program.folder,
        program.name,
    };
    return JoinReportFields(fields, separator) + separator + "\r\n";
}

}  // namespace vzrm
