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

std::string RowsTable(const std::vector<const HISTORY_ROW*>& rows,
                      const std::vector<std::string>& reports) {
    std::string table =
        "<table class=\"rows\"><tr><th>Date</th><th>Time</th><th>Computer</th><th>User</th>"
        "<th>Event</th><th>Program</th><th>Report</th></tr>\n";
    for (const HISTORY_ROW* row : rows) {
        const REPORT_ROW& r = row->row;
        table += "<tr class=\"row\">" + Cell(r[kColumnDate]) + Cell(r[kColumnTime]) +
                 Cell(r[kColumnComputer]) + Cell(r[kColumnUser]) + Cell(r[kColumnEvent]) +
                 Cell(RowProgram(r)) + Cell(reports.at(row->report)) + "</tr>\n";
    }
    return table + "</table>";
}

}  // namespace

std::string HistoryPage(const std::vector<HISTORY_ROW>& rows,
                        const std::vector<std::string>& reports,
                        const std::vector<RECORDING_LIFE>& lives, const std::string& folder) {
    // Each recording's rows, and the words the filter looks for.
    std::unordered_map<std::string, std::size_t> byName;
    for (std::size_t n = 0; n < lives.size(); ++n) {
        byName.emplace(FoldCase(lives[n].recording), n);
    }
    std::vector<std::vector<const HISTORY_ROW*>> rowsOf(lives.size());
    std::vector<std::string> finds(lives.size());
    for (const HISTORY_ROW& row : rows) {
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
        " recordings, " + std::to_string(rows.size()) +
        " rows.</p>\n<p><input id=\"filter\" type=\"search\" placeholder=\"Show "
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
                RowsTable(rowsOf[n], reports) + "</details></section>\n";
    }
    return page + kScript + "\n</body></html>\n";
}

}  // namespace vzrm
