#include "app/history_command.h"

#include <algorithm>

#include "app/tool_arguments.h"
#include "report/report_history_folder.h"
#include "report/report_history_lines.h"
#include "report/report_history_page.h"
#include "settings/install_record.h"
#include "settings/options_profiles.h"
#include "settings/product_description.h"

namespace vzrm {
namespace {

constexpr char kUsage[] =
    "usage: vzrmlog history [DIR] [--file NAME] [--user USER] [--program NAME]\n"
    "                       [--from \"YYYY-MM-DD[ HH:MM:SS]\"] [--to ...]\n"
    "                       [--format tsv|csv|json|html] [--summary]\n";

struct HistoryRequest {
    std::string folder;
    HistoryFilter filter;
    RecordFormat format = RecordFormat::tsv;
    bool html = false;
    bool summaryOnly = false;
    bool help = false;
};

// The request, or a message on `err` and false.
bool ParseRequest(std::vector<std::string> args, HistoryRequest& request, std::ostream& err) {
    const auto summary = std::remove(args.begin(), args.end(), "--summary");
    request.summaryOnly = summary != args.end();
    args.erase(summary, args.end());
    const ToolArguments parsed = ParseToolArguments(
        args, {"--file", "--user", "--program", "--from", "--to", "--format"}, true);
    if (!parsed.error.empty()) {
        err << "vzrmlog history: " << parsed.error << "\n" << kUsage;
        return false;
    }
    request.folder = parsed.file;
    request.help = parsed.help;
    for (const auto& [option, value] : parsed.options) {
        HistoryFilter& f = request.filter;
        if ((option == "--from" && !ParseHistoryBound(value, false, f.from)) ||
            (option == "--to" && !ParseHistoryBound(value, true, f.to))) {
            err << "vzrmlog history: " << value
                << ": expected a local date \"YYYY-MM-DD\" or date-time \"YYYY-MM-DD HH:MM:SS\"\n";
            return false;
        }
        request.html = request.html || (option == "--format" && value == "html");
        if (option == "--format" && !request.html && !ParseRecordFormat(value, request.format)) {
            err << "vzrmlog history: " << value << ": the format is tsv, csv, json or html\n";
            return false;
        }
        if (option == "--file") {
            f.file = value;
        } else if (option == "--user") {
            f.user = value;
        } else if (option == "--program") {
            f.program = value;
        }
    }
    return true;
}

int Flushed(std::ostream& out, std::ostream& err) {
    if (!out.flush()) {
        err << "vzrmlog history: the output could not be written\n";
        return 1;
    }
    return 0;
}

}  // namespace

std::string StoredReportsFolder() {
    const CSoftInst soft;
    std::int32_t commonApp = 0;
    std::int32_t optionsForAll = 0;
    CMainOpt options;
    if (!ReadOptionFlags(soft, commonApp, optionsForAll) ||
        !options.ReadRegOpt(soft.BasePath(), optionsForAll != 0 ? platform::HKEY_LOCAL_MACHINE
                                                                : platform::HKEY_CURRENT_USER)) {
        return {};
    }
    return options.GetOptStr("LogFold");
}

int RunHistoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    HistoryRequest request;
    if (!ParseRequest(args, request, err)) {
        return 2;
    }
    if (request.help) {
        out << kUsage;
        return out.flush() ? 0 : 1;
    }
    if (request.folder.empty() && (request.folder = StoredReportsFolder()).empty()) {
        err << "vzrmlog history: no reports folder is stored in the options; name one\n";
        return 1;
    }
    CHistory history;
    const HistoryFolderOutcome read =
        ReadHistoryFolder(request.folder, request.filter, history, err);
    if (!read.listed) {
        err << "vzrmlog: " << request.folder << ": the folder cannot be listed\n";
        return 1;
    }
    if (read.reportsRead == 0) {
        err << "vzrmlog: " << request.folder << ": no audit report could be read\n";
        return 1;
    }
    const std::vector<HISTORY_ROW>& rows = history.Rows();
    const std::vector<RECORDING_LIFE> lives = RecordingLives(rows);
    if (request.html) {
        out << HistoryPage(request.summaryOnly ? std::vector<HISTORY_ROW>() : rows,
                           history.Reports(), lives, request.folder);
        return Flushed(out, err);
    }
    const RecordFormat format = request.format;
    if (!request.summaryOnly) {
        out << HistoryHeader(format);
        for (const HISTORY_ROW& row : rows) {
            out << HistoryLine(row, history.Reports(), format);
        }
        if (format != RecordFormat::json && !lives.empty()) {
            out << (format == RecordFormat::csv ? "\r\n" : "\n");
        }
    }
    out << (lives.empty() ? std::string() : LifeHeader(format));
    for (const RECORDING_LIFE& life : lives) {
        out << LifeLine(life, history.Reports(), format);
    }
    return Flushed(out, err);
}

}  // namespace vzrm
