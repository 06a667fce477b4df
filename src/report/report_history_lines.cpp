#include "report/report_history_lines.h"

#include "report/json_text.h"
#include "report/report_row.h"

namespace vzrm {
namespace {

constexpr char kComma[] = ",";
constexpr char kSealName[] = "seal";

const char* const kRowNames[] = {"date",         "time",      "computer", "user",
                                 "file_folder",  "file_name", "event",    "program_folder",
                                 "program_name", "report"};

const char* const kLifeNames[] = {"recording",    "created",    "created_by", "created_with",
                                  "last_written", "opens",      "deleted",    "deleted_by",
                                  "first_report", "last_report"};

std::string CsvNames(std::span<const char* const> names) {
    const std::vector<std::string> texts(names.begin(), names.end());
    return JoinReportFields(texts, kComma) + "\r\n";
}

std::string Tabbed(std::span<const std::string> fields) {
    std::string line;
    for (const std::string& field : fields) {
        line += (line.empty() ? "" : "\t") + field;
    }
    return line + "\n";
}

std::string JsonOrNull(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

}  // namespace

std::string HistoryHeader(RecordFormat format, bool sealed) {
    if (format != RecordFormat::csv) {
        return {};
    }
    std::vector<std::string> names(std::begin(kRowNames), std::end(kRowNames));
    if (sealed) {
        names.push_back(kSealName);
    }
    return JoinReportFields(names, kComma) + "\r\n";
}

std::string HistoryLine(const HISTORY_ROW& entry, const std::vector<std::string>& reports,
                        RecordFormat format, const std::vector<std::string>* seals) {
    const std::string& report = reports.at(entry.report);
    if (format == RecordFormat::json) {
        CJsonObject object;
        for (int column = 0; column < kReportColumns; ++column) {
            object.Text(kRowNames[column], entry.row.fields[column]);
        }
        object.Text("report", report);
        if (seals != nullptr) {
            object.Text(kSealName, seals->at(entry.report));
        }
        return object.Close() + "\n";
    }
    std::vector<std::string> fields(std::begin(entry.row.fields), std::end(entry.row.fields));
    fields.push_back(report);
    if (seals != nullptr) {
        fields.push_back(seals->at(entry.report));
    }
    return format == RecordFormat::csv ? JoinReportFields(fields, kComma) + "\r\n" : Tabbed(fields);
}

std::string LifeHeader(RecordFormat format) {
    return format == RecordFormat::csv ? CsvNames(kLifeNames) : std::string();
}

std::string LifeLine(const RECORDING_LIFE& life, const std::vector<std::string>& reports,
                     RecordFormat format) {
    const std::string& first = reports.at(life.firstReport);
    const std::string& last = reports.at(life.lastReport);
    if (format == RecordFormat::json) {
        const std::string created = life.created.empty() ? "null"
                                                         : CJsonObject()
                                                               .Text("time", life.created)
                                                               .Text("user", life.createdBy)
                                                               .Text("program", life.createdWith)
                                                               .Close();
        const std::string deleted =
            life.deleted.empty()
                ? "null"
                : CJsonObject().Text("time", life.deleted).Text("user", life.deletedBy).Close();
        return CJsonObject()
                   .Text("recording", life.recording)
                   .Json("created", created)
                   .Json("last_written", JsonOrNull(life.lastWritten))
                   .Number("opens", life.opens)
                   .Json("deleted", deleted)
                   .Text("first_report", first)
                   .Text("last_report", last)
                   .Close() +
               "\n";
    }
    if (format == RecordFormat::csv) {
        const std::string fields[] = {life.recording,
                                      life.created,
                                      life.createdBy,
                                      life.createdWith,
                                      life.lastWritten,
                                      std::to_string(life.opens),
                                      life.deleted,
                                      life.deletedBy,
                                      first,
                                      last};
        return JoinReportFields(fields, kComma) + "\r\n";
    }
    // Words for the terminal, still one tab-separated field per fact.
    const std::string fields[] = {
        life.recording,
        life.created.empty()
            ? "creation not in the reports"
            : "created " + life.created + " by " + life.createdBy + " with " + life.createdWith,
        life.lastWritten.empty() ? "never written" : "last written " + life.lastWritten,
        std::to_string(life.opens) + (life.opens == 1 ? " open" : " opens"),
        life.deleted.empty() ? "present" : "deleted " + life.deleted + " by " + life.deletedBy,
        "reports " + first + " to " + last};
    return Tabbed(fields);
}

}  // namespace vzrm
