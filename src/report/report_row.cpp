#include "report/report_row.h"

#include "base/byte_search.h"
#include "base/local_date_time.h"
#include "base/resource_text.h"
#include "base/text_ids.h"

namespace vzrm {

std::string ActionWord(std::uint32_t action) {
    switch (action) {
        case ACTION_CREATE:
            return LoadResourceText(kTextActionCreate);
        case ACTION_OPEN:
            return LoadResourceText(kTextActionOpen);
        case ACTION_WRITE:
            return LoadResourceText(kTextActionWrite);
        case ACTION_CLOSE:
            return LoadResourceText(kTextActionClose);
        case ACTION_DELETE:
            return LoadResourceText(kTextActionDelete);
        default:
            return {};
    }
}

namespace {

// QuoteField's form of the text, appended to `line`.
void AppendQuotedField(std::string_view text, std::string_view separator, std::string& line) {
    // Nearly every field holds no line break and no byte of the separator's:
    // one scan tells, and it goes in as it is.
    const char separatorByte = separator.empty() ? '\r' : separator[0];
    if (!HoldsAnyByte(text.data(), text.size(), '\r', '\n', separatorByte) &&
        (text.empty() || text[0] != '"')) {
        line += text;
        return;
    }
    // A line break in a field would forge a row of its own.
    std::size_t end = 0;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
        ++end;
    }
    const std::string_view field = text.substr(0, end);
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

struct PathViews {
    std::string_view folder;
    std::string_view name;
};

// SplitReportPath without copies; `drive` holds the one folder that is not
// part of the path ("C:\\" of "C:name").
PathViews SplitPathViews(std::string_view path, std::string& drive) {
    std::size_t name = path.size();  // after the last slash
    while (name > 0 && path[name - 1] != '\\' && path[name - 1] != '/') {
        --name;
    }
    if (name == 0) {
        if (path.size() >= 2 && path[1] == ':') {
            drive.assign(path.substr(0, 2)).push_back('\\');
            return {drive, path.substr(2)};
        }
        return {{}, path};
    }
    return {path.substr(0, name), path.substr(name)};
}

}  // namespace

// Parts longer than the classic split limits are kept whole: truncating them
// would put a wrong folder or name into the report.
ReportPathParts SplitReportPath(const std::string& path) {
    std::string drive;
    const PathViews views = SplitPathViews(path, drive);
    return {std::string(views.folder), std::string(views.name)};
}

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
    return FormatResource(kTextReportHeader, s, s, s, s, s, s, s, s);
}

std::string ReportRowLine(const AUDIT_RECORD& record, const std::string& separator) {
    CReportRowWriter writer(separator);
    return writer.Line(record);
}

CReportRowWriter::CReportRowWriter(std::string separator) : separator_(std::move(separator)) {
    for (std::uint32_t action = 0; action < std::size(actions_); ++action) {
        actions_[action] = ActionWord(action);
    }
}

const std::string& CReportRowWriter::Line(const AUDIT_RECORD& record) {
    // Rows come in time order, many in the same second: its texts are made once.
    if (!hasTime_ || record.time != time_) {
        static constexpr const char* kTimeFormats[] = {"%Y.%m.%d", "%H:%M:%S"};
        InstantToReportTexts(record.time, kTimeFormats, dateAndTime_);
        hasTime_ = true;
        time_ = record.time;
    }
    const PathViews object = SplitPathViews(record.objectName, drives_[0]);
    const PathViews program = SplitPathViews(record.processName, drives_[1]);
    const std::string_view action =
        record.action < std::size(actions_) ? actions_[record.action] : std::string_view();
    const std::string_view fields[] = {
        dateAndTime_[0], dateAndTime_[1], record.computer, record.user,  object.folder,
        object.name,     action,          program.folder,  program.name,
    };
    line_.clear();
    for (std::string_view field : fields) {
        AppendQuotedField(field, separator_, line_);
        line_ += separator_;
    }
    line_ += "\r\n";
    return line_;
}

}  // namespace vzrm
