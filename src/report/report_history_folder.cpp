#include "report/report_history_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/resource_text.h"
#include "base/text_ids.h"

namespace vzrm {
namespace {

namespace fs = std::filesystem;

// The reports' names in the order of their runs: the stamp is the start time.
std::vector<fs::path> ReportFiles(const std::string& folder, bool& listed) {
    const std::string pattern = FormatResource(kTextReportFileName, "*");  // "ZRMAudit_*.csv"
    std::vector<fs::path> files;
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    listed = !error;
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const fs::path& path = entries->path();
        if (WildcardMatch(pattern, path.filename().string())) {
            files.push_back(path);
        }
    }
    listed = listed && !error;
    std::sort(files.begin(), files.end());
    return files;
}

void Warn(std::ostream& warnings, const fs::path& path, const std::string& what) {
    warnings << "vzrmlog: " << path.string() << ": " << what << "\n";
}

}  // namespace

HistoryFolderOutcome ReadHistoryFolder(const std::string& folder, const HistoryFilter& filter,
                                       CHistory& history, std::ostream& warnings) {
    HistoryFolderOutcome outcome;
    for (const fs::path& path : ReportFiles(folder, outcome.listed)) {
        std::error_code error;
        // Someone else's link in a shared folder could point anywhere.
        if (!fs::is_regular_file(fs::symlink_status(path, error))) {
            Warn(warnings, path, "not a plain file (a link or a folder), not read");
            ++outcome.filesSkipped;
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            Warn(warnings, path, "cannot be opened, not read");
            ++outcome.filesSkipped;
            continue;
        }
        history.BeginReport(path.filename().string());
        const ReportReadOutcome read = ReadReportRows(in, [&](const REPORT_ROW& row) {
            if (filter.Matches(row)) {
                history.Add(row);
            }
        });
        if (!read.isReport) {
            Warn(warnings, path, "not an audit report (no header line near its start), not read");
            ++outcome.filesSkipped;
            continue;
        }
        ++outcome.reportsRead;
        if (read.badLines != 0) {
            Warn(warnings, path,
                 "line " + std::to_string(read.firstBadLine) + ": " + read.firstBadReason + "; " +
                     std::to_string(read.badLines) + " bad line" + (read.badLines == 1 ? "" : "s") +
                     " skipped, " + std::to_string(read.rows) + " rows read");
        }
    }
    return outcome;
}

}  // namespace vzrm
