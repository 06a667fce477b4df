// `vzrmlog history --format html` in a real browser: headless chromium loads
// the page and its document holds a row per history row and a timeline per
// recording. Skipped where chromium is not installed.
#include <gtest/gtest.h>

#include <regex>

#include "support/history_reports.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

TEST(HistoryPage, ChromiumShowsARowPerHistoryRowAndATimelinePerRecording) {
    if (!test::HaveProgram("chromium")) {
        GTEST_SKIP() << "no chromium: apt-get install chromium to run the page in a browser";
    }
    test::TempDir reports;
    const std::vector<AUDIT_RECORD> site = test::SiteRecords(11, 5, 6);
    test::WriteFile(reports.File("ZRMAudit_20260314_020000.csv"), test::ReportText(site, ";"));
    test::WriteFile(reports.File("ZRMAudit_20260315_020000.csv"),
                    test::ReportText({site.end() - 4, site.end()}, ","));
    test::TempDir scratch;  // the page and the browser's profile, never the reports folder
    const std::string page = scratch.File("history.html");
    const std::string command = std::string(VZRMLOG_PATH) + " history '" + reports.Path().string() +
                                "' --format html > '" + page + "'";
    ASSERT_EQ(test::RunCommand(command).status, 0);

    const test::CommandResult dom = test::RunCommand(
        "timeout 120 chromium --headless --no-sandbox --disable-gpu "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--no-first-run --user-data-dir='" +
        scratch.File("profile") + "' --dump-dom 'file://" + page + "' 2>/dev/null");
    ASSERT_EQ(dom.status, 0);
    EXPECT_EQ(Count(dom.output, "<tr class=\"row\">"), site.size());
    EXPECT_EQ(Count(dom.output, "<svg class=\"timeline\""), 5u);
    EXPECT_EQ(Count(dom.output, "<tr class=\"life"), 5u);
    // Every action of the site has its mark, drawn by the browser from the page's SVG.
    EXPECT_EQ(Count(dom.output, "class=\"mark "), site.size() + 5);  // and the legend's five
    EXPECT_TRUE(std::regex_search(dom.output, std::regex("<text[^>]*>2026\\.03\\.1[45] ")));
}

}  // namespace
}  // namespace vzrm
