// The history page on its own: self-contained, names shown as text, and many
// recordings folded.
#include "report/report_history_page.h"

#include <gtest/gtest.h>

namespace vzrm {
namespace {

HISTORY_ROW Row(const std::string& name, const std::string& time, const std::string& event) {
    HISTORY_ROW row;
    row.row.fields[kColumnDate] = "2026.03.14";
    row.row.fields[kColumnTime] = time;
    row.row.fields[kColumnUser] = "RECSITE\\<alice>";
    row.row.fields[kColumnFileFolder] = "D:\\Records\\";
    row.row.fields[kColumnFileName] = name;
    row.row.fields[kColumnEvent] = event;
    row.row.fields[kColumnProgramName] = "pramvoxe.exe";
    return row;
}

TEST(HistoryPage, IsSelfContainedAndShowsNamesAsText) {
    const std::vector<HISTORY_ROW> rows = {
        Row("<script>alert(1)</script>.zrm", "09:00:00", "Create"),
        Row("a&b.zrm", "09:00:00", "Open"), Row("a&b.zrm", "10:30:00", "Delete")};
    const std::string page = HistoryPage(rows, {"ZRMAudit_1.csv"}, RecordingLives(rows), "/srv/r");
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;.zrm"), std::string::npos);
    EXPECT_NE(page.find("RECSITE\\&lt;alice&gt;"), std::string::npos);
    for (const char* outside : {"src=", "http:", "https:", "@import", "url("}) {
        EXPECT_EQ(page.find(outside), std::string::npos) << outside;
    }
    EXPECT_NE(page.find("<details open>"), std::string::npos);
    // A single moment still gets an axis: two minutes around it.
    EXPECT_NE(page.find(">2026.03.14 08:59</text>"), std::string::npos);
}

TEST(HistoryPage, ManyRecordingsStartFoldedAndTheLivesAloneNeedNoRows) {
    std::vector<HISTORY_ROW> rows;
    for (std::size_t n = 0; n <= kUnfoldedRecordings; ++n) {
        rows.push_back(Row("case" + std::to_string(n) + ".zrm", "09:00:00", "Open"));
    }
    const std::vector<RECORDING_LIFE> lives = RecordingLives(rows);
    std::string page = HistoryPage(rows, {"ZRMAudit_1.csv"}, lives, "/srv/r");
    EXPECT_EQ(page.find("<details open>"), std::string::npos);
    page = HistoryPage({}, {"ZRMAudit_1.csv"}, lives, "/srv/r");
    EXPECT_EQ(page.find("<svg class=\"timeline\""), std::string::npos);
    EXPECT_NE(page.find("case12.zrm"), std::string::npos);
}

// Where the folder holds a seal: a Seal column, the rows of a report that
// does not verify marked, and their count above the tables.
TEST(HistoryPage, RowsOfReportsThatDoNotVerifyAreMarked) {
    std::vector<HISTORY_ROW> rows = {Row("a.zrm", "09:00:00", "Create"),
                                     Row("a.zrm", "09:30:00", "Open"),
                                     Row("a.zrm", "10:00:00", "Close")};
    rows[1].report = 1;
    const std::vector<std::string> reports = {"ZRMAudit_1.csv", "ZRMAudit_2.csv"};
    const std::vector<RECORDING_LIFE> lives = RecordingLives(rows);
    std::string page = HistoryPage(rows, reports, lives, "/srv/r");
    EXPECT_EQ(page.find("<th>Seal</th>"), std::string::npos);
    EXPECT_EQ(page.find("unverified\""), std::string::npos);
    page = HistoryPage(rows, reports, lives, "/srv/r", {"ok", "changed"});
    EXPECT_NE(page.find("<th>Seal</th>"), std::string::npos);
    EXPECT_NE(page.find("<p class=\"unverified\">1 rows come from reports that do not verify"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<tr class=\"row unverified\"><td>2026.03.14</td><td>09:30:00</td>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<td class=\"seal\">changed</td>"), std::string::npos);
    EXPECT_EQ(page.find("<tr class=\"row unverified\"><td>2026.03.14</td><td>09:00:00</td>"),
              std::string::npos);
    page = HistoryPage(rows, reports, lives, "/srv/r", {"ok", "ok"});
    EXPECT_NE(page.find("Every row's report verifies"), std::string::npos);
}

}  // namespace
}  // namespace vzrm
