#include "report/report_history_page.h"

#include <unordered_map>

#include "base/case_fold.h"
#include "report/report_history_timeline.h"

namespace vzrm {
namespace {

constexpr char kStyle[] = R"(<style>
body{font-family:sans-serif;margin:1.5em;color:#222}
table{border-collapse:collapse;margin:.5em 0 1em}
th,td{border:1px solid #ccc;padding:2px 6px;text-align:left;font-size:13px;white-space:nowrap}
th{background:#eee}
tr.gone td.state{color:#c62828}
section{border-top:1px solid #bbb;padding:.3em 0}
summary{cursor:pointer;font-weight:bold}
svg text{font-size:11px;fill:#333}
svg line.lane{stroke:#ddd}
svg line.tick{stroke:#eee}
#filter{width:30em;padding:4px}
tr.unverified td{background:#fde0dc}
tr.unverified td.seal{color:#b71c1c;font-weight:bold}
p.unverified{color:#b71c1c;font-weight:bold}
</style>)";

constexpr char kScript[] = R"(<script>
document.getElementById('filter').addEventListener('input', function () {
  var q = this.value.toLowerCase();
  document.querySelectorAll('[data-find]').forEach(function (e) {
    e.hidden = q !== '' && e.getAttribute('data-find').indexOf(q) < 0;
  });
});
</script>)";

std::string Cell(const std::string& text, const char* cls = nullptr) {
    return std::string(cls ? "<td class=\"" + std::string(cls) + "\">" : "<td>") + HtmlText(text) +
           "</td>";
}

std::string LifeRow(const RECORDING_LIFE& life, std::size_t index,
                    const std::vector<std::string>& reports, const std::string& find) {
    return "<tr class=\"life" + std::string(life.deleted.empty() ? "" : " gone") +
           "\" data-find=\"" + HtmlText(find) + "\"><td><a href=\"#r" + std::to_string(index) +
           "\">" + HtmlText(life.recording) + "</a></td>" + Cell(life.created) +
           Cell(life.createdBy) + Cell(life.createdWith) + Cell(life.lastWritten) +
           Cell(std::to_string(life.opens)) +
           Cell(life.deleted.empty() ? "present" : "deleted " + life.deleted, "state") +
           Cell(life.deletedBy) + Cell(reports.at(life.firstReport)) +
           Cell(reports.at(life.lastReport)) + "</tr>\n";
}

// Whether a row's report verifies: verify says "ok" of it, or the folder has no seal.
bool Verifies(const std::vector<std::string>& seals, std::size_t report) {
    return seals.empty() || seals.at(report) == "ok";
}

std::string RowsTable(const std::vector<const HISTORY_ROW*>& rows,
                      const std::vector<std::string>& reports,
                      const std::vector<std::string>& seals) {
    std::string table =
        "<table class=\"rows\"><tr><th>Date</th><th>Time</th><th>Computer</th><th>User</th>"
        "<th>Event</th><th>Program</th><th>Report</th>" +
        std::string(seals.empty() ? "" : "<th>Seal</th>") + "</tr>\n";
    for (const HISTORY_ROW* row : rows) {
        const REPORT_ROW& r = row->row;
        table += std::string("<tr class=\"row") +
                 (Verifies(seals, row->report) ? "" : " unverified") + "\">" +
                 Cell(r[kColumnDate]) + Cell(r[kColumnTime]) + Cell(r[kColumnComputer]) +
                 Cell(r[kColumnUser]) + Cell(r[kColumnEvent]) + Cell(RowProgram(r)) +
                 Cell(reports.at(row->report)) +
                 (seals.empty() ? "" : Cell(seals.at(row->report), "seal")) + "</tr>\n";
    }
    return table + "</table>";
}

// Above the tables: what the folder's seal says of the rows' reports.
std::string SealNote(const std::vector<std::string>& seals, std::size_t unverified) {
    if (seals.empty()) {
        return {};
    }
    if (unverified == 0) {
        return "<p class=\"sealed\">Every row's report verifies against the folder's "
               "seal.</p>\n";
    }
    return "<p class=\"unverified\">" + std::to_string(unverified) +
           " rows come from reports that do not verify against the folder's seal; they are "
           "marked.</p>\n";
}

}  // namespace

std::string HistoryPage(const std::vector<HISTORY_ROW>& rows,
                        const std::vector<std::string>& reports,
                        const std::vector<RECORDING_LIFE>& lives, const std::string& folder,
                        const std::vector<std::string>& seals) {
    // Each recording's rows, and the words the filter looks for.
    std::unordered_map<std::string, std::size_t> byName;
    for (std::size_t n = 0; n < lives.size(); ++n) {
        byName.emplace(FoldCase(lives[n].recording), n);
    }
    std::vector<std::vector<const HISTORY_ROW*>> rowsOf(lives.size());
    std::vector<std::string> finds(lives.size());
    std::size_t unverified = 0;
    for (const HISTORY_ROW& row : rows) {
        unverified += Verifies(seals, row.report) ? 0 : 1;
        const std::size_t n = byName.at(FoldCase(RowRecording(row.row)));
        rowsOf[n].push_back(&row);
        finds[n] += " " + FoldCase(row.row[kColumnUser] + " " + row.row[kColumnProgramName]);
    }
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>Recording history: " +
        HtmlText(folder) + "</title>\n" + kStyle + "</head>\n<body>\n" +
        "<h1>Recording history</h1>\n<p>" + HtmlText(folder) + ": " +
        std::to_string(reports.size()) + " reports, " + std::to_string(lives.size()) +
        " recordings, " + std::to_string(rows.size()) + " rows.</p>\n" +
        SealNote(seals, unverified) +
        "<p><input id=\"filter\" type=\"search\" placeholder=\"Show "
        "only recordings, users or programs containing...\"></p>\n"
        "<table id=\"lives\"><tr><th>Recording</th><th>Created</th><th>By</th>"
        "<th>With</th><th>Last written</th><th>Opens</th><th>State</th>"
        "<th>Deleted by</th><th>First report</th><th>Last report</th></tr>\n";
    for (std::size_t n = 0; n < lives.size(); ++n) {
        finds[n] = FoldCase(lives[n].recording) + finds[n];
        page += LifeRow(lives[n], n, reports, finds[n]);
    }
    page += "</table>\n" + TimelineLegend() + "\n";
    const bool unfold = lives.size() <= kUnfoldedRecordings;
    for (std::size_t n = 0; n < lives.size() && !rowsOf[n].empty(); ++n) {
        page += "<section class=\"recording\" id=\"r" + std::to_string(n) + "\" data-find=\"" +
                HtmlText(finds[n]) + "\"><details" + (unfold ? " open" : "") + "><summary>" +
                HtmlText(lives[n].recording) + " (" + std::to_string(rowsOf[n].size()) +
                " rows)</summary>\n" + RecordingTimeline(rowsOf[n]) + "\n" +
                RowsTable(rowsOf[n], reports, seals) + "</details></section>\n";
    }
    return page + kScript + "\n</body></html>\n";
}

}  // namespace vzrm
