#include "app/history_command.h"

#include <algorithm>

#include "app/tool_arguments.h"
#include "platform/seal.h"
#include "platform/services.h"
#include "report/report_history_folder.h"
#include "report/report_history_lines.h"
#include "report/report_history_page.h"
#include "report/seal_verify.h"
#include "settings/install_record.h"
#include "settings/option_names.h"
#include "settings/options_profiles.h"
#include "settings/product_description.h"

namespace vzrm {
namespace {

constexpr char kUsage[] =
    "usage: vzrmlog history [DIR] [--file NAME] [--user USER] [--program NAME]\n"
    "                       [--from \"YYYY-MM-DD[ HH:MM:SS]\"] [--to ...]\n"
    "                       [--format tsv|csv|json|html] [--summary] [--key PUBLIC_KEY]\n";

struct HistoryRequest {
    std::string folder;
    HistoryFilter filter;
    std::string key;  // the public key to check the seal with, or empty
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
        args, {"--file", "--user", "--program", "--from", "--to", "--format", "--key"}, true);
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
        } else if (option == "--key") {
            request.key = value;
        }
    }
    return true;
}

// Where the folder holds a seal, what verify says of each report that gives
// a row (one entry per report); else nothing. Keys that cannot be read are
// warned of, and the rows say "not checked".
std::vector<std::string> SealStatuses(const HistoryRequest& request, const CHistory& history,
                                      const std::vector<HISTORY_ROW>& rows, std::ostream& err) {
    if (!HoldsSeal(request.folder)) {
        return {};
    }
    std::vector<platform::TrustedSealKey> keys;
    std::string refusal;
    std::int32_t error = 0;
    if (!request.key.empty()) {
        keys.emplace_back();
        keys.back().file = request.key;
        error = platform::ReadPublicKeyFile(request.key, keys.back().key, refusal);
    } else {
        error = platform::SealKeys().TrustedKeys(keys, refusal);
    }
    std::vector<bool> wanted(history.Reports().size());
    for (const HISTORY_ROW& row : rows) {
        wanted[row.report] = true;
    }
    if (error != 0) {
        err << "vzrmlog history: the seal cannot be checked: " << refusal << "\n";
        std::vector<std::string> statuses(history.Reports().size());
        for (std::size_t n = 0; n < wanted.size(); ++n) {
            statuses[n] = wanted[n] ? "not checked" : "";
        }
        return statuses;
    }
    return ReportSealStatuses(request.folder, history.Reports(), wanted, keys);
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
    return options.GetOptStr(kOptLogFold);
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
    // The lives alone name no row's report: no seal is checked for them.
    const std::vector<std::string> seals = request.summaryOnly
                                               ? std::vector<std::string>()
                                               : SealStatuses(request, history, rows, err);
    if (request.html) {
        out << HistoryPage(request.summaryOnly ? std::vector<HISTORY_ROW>() : rows,
                           history.Reports(), lives, request.folder, seals);
        return Flushed(out, err);
    }
    const RecordFormat format = request.format;
    if (!request.summaryOnly) {
        out << HistoryHeader(format, !seals.empty());
        for (const HISTORY_ROW& row : rows) {
            out << HistoryLine(row, history.Reports(), format, seals.empty() ? nullptr : &seals);
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
