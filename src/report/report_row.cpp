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

namespace {

// QuoteField's form of the text, appended to `line`.
void AppendQuotedField(std::string_view text, const std::string& separator, std::string& line) {
    // A line break in a field would forge a row of its own.
    const std::string_view field = text.substr(0, text.find_first_of("\r\n"));
    // A field that starts with a quote would be read as a quoted one.
    const bool quoted = (!separator.empty() && field.find(separator) != std::string_view::npos) ||
                        (!field.empty() && field[0] == '"');
    if (!quoted) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"') {
            line += '"';
        }
        line += c;
    }
    line += '"';
}

}  // namespace

std::string QuoteField(const std::string& text, const std::string& separator) {
    std::string field;
    AppendQuotedField(text, separator, field);
    return field;
}

std::string JoinReportFields(std::span<const std::string> fields, const std::string& separator) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += i == 0 ? "" : separator;
        AppendQuotedField(fields[i], separator, line);
    }
    return line;
}

std::string ReportHeaderLine(const std::string& separator) {
    const std::string& s = separator;
    return FormatResource(58402, s, s, s, s, s, s, s, s);
}

std::string ReportRowLine(const AUDIT_RECORD& record, const std::string& separator) {
    static constexpr const char* kTimeFormats[] = {"%Y.%m.%d", "%H:%M:%S"};
    std::string dateAndTime[2];
    InstantToReportTexts(record.time, kTimeFormats, dateAndTime);
    const ReportPathParts object = SplitReportPath(record.objectName);
    const ReportPathParts program = SplitReportPath(record.processName);
    const std::string action = ActionWord(record.action);
    const std::string_view fields[] = {
        dateAndTime[0], dateAndTime[1], record.computer, record.user,  object.folder,
        object.name,    action,         program.folder,  program.name,
    };
    std::string line;
    for (std::string_view field : fields) {
        AppendQuotedField(field, separator, line);
        line += separator;
    }
    return line + "\r\n";
}

}  // namespace vzrm
