// The history across reports: reading reports back, keeping the rows wanted,
// each once and in time order, the recordings' lives, and reports that are
// damaged or are none.
#include "report/report_history.h"

#include <gtest/gtest.h>

#include <sstream>

#include "report/report_history_folder.h"
#include "report/report_lifecycle.h"
#include "support/history_reports.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

// The row as the writer writes it, from the fields read back.
std::string RowLine(const REPORT_ROW& row, const std::string& separator) {
    std::string line;
    for (const std::string& field : row.fields) {
        line += QuoteField(field, separator) + separator;
    }
    return line + "\r\n";
}

struct FolderRead {
    std::vector<HISTORY_ROW> rows;
    std::vector<std::string> reports;
    HistoryFolderOutcome outcome;
    std::string warnings;
};

FolderRead ReadFolder(const test::TempDir& dir, const HistoryFilter& filter = {}) {
    CHistory history;
    std::ostringstream warnings;
    FolderRead read;
    read.outcome = ReadHistoryFolder(dir.Path().string(), filter, history, warnings);
    read.rows = history.Rows();
    read.reports = history.Reports();
    read.warnings = warnings.str();
    return read;
}

// Runs over a site: each report covers its period and reaches back into the
// last one's, as a run does that repeats a period after a failure; the
// separator changes with the locale between runs.
TEST(ReportHistory, HistoryOfARecordingIsEveryRowAboutItOnceInTimeOrder) {
    const std::vector<AUDIT_RECORD> site = test::SiteRecords(7, 12, 9);
    test::TempDir dir;
    const std::size_t reports = 5;
    const std::size_t share = site.size() / reports;
    for (std::size_t n = 0; n < reports; ++n) {
        const std::size_t begin = n == 0 ? 0 : n * share - share / 3;
        const std::size_t end = n + 1 == reports ? site.size() : (n + 1) * share;
        // Periods end between seconds, so a second's rows stay in one report.
        std::size_t cut = end;
        while (cut < site.size() && site[cut].time == site[cut - 1].time) {
            ++cut;
        }
        std::size_t from = begin;
        while (from > 0 && site[from].time == site[from - 1].time) {
            --from;
        }
        const std::vector<AUDIT_RECORD> rows(site.begin() + from, site.begin() + cut);
        test::WriteFile(dir.File("ZRMAudit_2026031" + std::to_string(n) + "_020000.csv"),
                        test::ReportText(rows, n % 2 == 0 ? ";" : ","));
    }
    for (const std::string& wanted : {std::string("case3.zrm"), std::string("CASE1?.ZRM")}) {
        HistoryFilter filter;
        filter.file = wanted;
        const FolderRead read = ReadFolder(dir, filter);
        EXPECT_EQ(read.outcome.reportsRead, reports);
        EXPECT_EQ(read.warnings, "");
        std::vector<std::string> expected;
        for (const AUDIT_RECORD& r : site) {
            if (WildcardMatch(wanted, SplitReportPath(r.objectName).name)) {
                expected.push_back(ReportRowLine(r, ";"));
            }
        }
        std::vector<std::string> got;
        for (const HISTORY_ROW& row : read.rows) {
            got.push_back(RowLine(row.row, ";"));
        }
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(got, expected) << wanted;
    }
}

TEST(ReportHistory, RowsOfTwoReportsAreKeptOnceWithTheFirstAndLastReport) {
    std::vector<AUDIT_RECORD> site = test::SiteRecords(3, 1, 4);
    site.push_back(site.back());  // two equal rows in one report stay two
    test::TempDir dir;
    test::WriteFile(dir.File("ZRMAudit_20260314_020000.csv"), test::ReportText(site, ";"));
    test::WriteFile(dir.File("ZRMAudit_20260314_020000_2.csv"), test::ReportText(site, ","));
    test::WriteFile(dir.File("ZRMAudit_20260315_020000.csv"), test::ReportText({site.back()}, ";"));
    const FolderRead read = ReadFolder(dir);
    ASSERT_EQ(read.rows.size(), site.size());
    EXPECT_EQ(read.reports[read.rows.front().report], "ZRMAudit_20260314_020000.csv");
    EXPECT_EQ(read.reports[read.rows.front().lastReport], "ZRMAudit_20260314_020000_2.csv");
    EXPECT_EQ(read.reports[read.rows.back().lastReport], "ZRMAudit_20260314_020000_2.csv");
    EXPECT_EQ(read.reports[read.rows[read.rows.size() - 2].lastReport],
              "ZRMAudit_20260315_020000.csv");
}

AUDIT_RECORD Access(std::int64_t time, const char* user, AUDIT_ACTION action,
                    const char* file = "D:\\Records\\case12.zrm",
                    const char* program = "C:\\Rec\\pramvoxe.exe") {
    AUDIT_RECORD r;
    r.time = time;
    r.computer = "RECPC";
    r.user = user;
    r.objectName = file;
    r.processName = program;
    r.action = action;
    return r;
}

TEST(ReportHistory, LifeOfARecordingMadeInOneReportAndDeletedInTheNext) {
    const std::int64_t day = 1773446400;  // 2026-03-14 00:00:00 UTC
    test::TempDir dir;
    test::WriteFile(
        dir.File("ZRMAudit_20260314_235959.csv"),
        test::ReportText(
            {Access(day + 60, "operator", ACTION_CREATE),
             Access(day + 61, "operator", ACTION_WRITE), Access(day + 62, "operator", ACTION_CLOSE),
             Access(day + 100, "bob", ACTION_CREATE, "D:\\Records\\other.zrm")},
            ";"));
    test::WriteFile(dir.File("ZRMAudit_20260315_235959.csv"),
                    test::ReportText({Access(day + 86400, "RECSITE\\alice", ACTION_OPEN),
                                      Access(day + 86401, "RECSITE\\alice", ACTION_WRITE,
                                             "d:\\records\\CASE12.zrm", "C:\\Rec\\edit.exe"),
                                      Access(day + 86402, "RECSITE\\alice", ACTION_CLOSE),
                                      Access(day + 86500, "bob", ACTION_OPEN),
                                      Access(day + 86600, "bob", ACTION_DELETE)},
                                     ";"));
    const FolderRead read = ReadFolder(dir);
    const std::vector<RECORDING_LIFE> lives = RecordingLives(read.rows);
    ASSERT_EQ(lives.size(), 2u);
    const RECORDING_LIFE& life = lives[0];
    EXPECT_EQ(life.recording, "D:\\Records\\case12.zrm");
    EXPECT_EQ(life.created, "2026.03.14 00:01:00");
    EXPECT_EQ(life.createdBy, "operator");
    EXPECT_EQ(life.createdWith, "C:\\Rec\\pramvoxe.exe");
    EXPECT_EQ(life.lastWritten, "2026.03.15 00:00:01");
    EXPECT_EQ(life.opens, 2u);
    EXPECT_EQ(life.deleted, "2026.03.15 00:03:20");
    EXPECT_EQ(life.deletedBy, "bob");
    EXPECT_EQ(read.reports[life.firstReport], "ZRMAudit_20260314_235959.csv");
    EXPECT_EQ(read.reports[life.lastReport], "ZRMAudit_20260315_235959.csv");
    EXPECT_EQ(lives[1].deleted, "");  // still there
    EXPECT_EQ(lives[1].lastWritten, "");
    EXPECT_EQ(lives[1].lastReport, life.firstReport);
}

TEST(ReportHistory, FiltersByUserProgramAndPeriod) {
    const std::int64_t day = 1773446400;  // 2026-03-14 00:00:00 UTC
    test::TempDir dir;
    test::WriteFile(
        dir.File("ZRMAudit_20260320_000000.csv"),
        test::ReportText(
            {Access(day - 1, "operator", ACTION_OPEN), Access(day, "RECSITE\\Alice", ACTION_OPEN),
             Access(day + 3600, "bob", ACTION_WRITE, "D:\\Records\\b.zrm", "C:\\Rec\\tulbenqa.exe"),
             Access(day + 86399, "operator", ACTION_CLOSE),
             Access(day + 86400, "alice", ACTION_CLOSE, "E:\\x.zrm", "explorer.exe")},
            ";"));
    const auto users = [&](HistoryFilter filter) {
        std::string seen;
        for (const HISTORY_ROW& row : ReadFolder(dir, filter).rows) {
            seen += row.row[kColumnUser] + " ";
        }
        return seen;
    };
    HistoryFilter f;
    f.user = "ALICE";  // with or without the domain
    EXPECT_EQ(users(f), "RECSITE\\Alice alice ");
    f.user = "recsite\\a*";
    EXPECT_EQ(users(f), "RECSITE\\Alice ");
    f = {};
    f.program = "TULB*.exe";
    EXPECT_EQ(users(f), "bob ");
    f.program = "c:\\rec\\*";
    EXPECT_EQ(users(f), "operator RECSITE\\Alice bob operator ");
    f = {};
    ASSERT_TRUE(ParseHistoryBound("2026-03-14", false, f.from));
    ASSERT_TRUE(ParseHistoryBound("2026-03-14", true, f.to));
    EXPECT_EQ(users(f), "RECSITE\\Alice bob operator ");
    ASSERT_TRUE(ParseHistoryBound("2026-03-14 01:00:00", false, f.from));
    EXPECT_EQ(users(f), "bob operator ");
    f.file = "D:\\Records\\?.zrm";
    EXPECT_EQ(users(f), "bob ");

    std::string key;
    for (const char* wrong : {"2026-02-30", "2026-03-14 25:00:00", "14.03.2026", "2026-03-14x",
                              "2026-03-14 10:00", ""}) {
        EXPECT_FALSE(ParseHistoryBound(wrong, false, key)) << wrong;
    }
}

TEST(ReportHistory, WildcardsMatchWholeNamesWithoutRegardToCase) {
    EXPECT_TRUE(WildcardMatch("case*.zrm", "CASE12.ZRM"));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_TRUE(WildcardMatch("?b*c*", "Äbxxcyy"));  // '?' is one character, not one byte
    EXPECT_TRUE(WildcardMatch("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(WildcardMatch("case?.zrm", "case12.zrm"));
    EXPECT_FALSE(WildcardMatch("case", "case12.zrm"));
    EXPECT_FALSE(WildcardMatch("*.zrm", "case.zrm.bak"));
}

std::string Warnings(const std::string& name, const std::string& text) {
    test::TempDir dir;
    test::WriteFile(dir.File("ZRMAudit_20260314_000000.csv"),
                    test::ReportText(test::SiteRecords(1, 2, 3), ";"));
    test::WriteFile(dir.File(name), text);
    const FolderRead read = ReadFolder(dir);
    EXPECT_EQ(read.rows.size() >= test::SiteRecords(1, 2, 3).size(), true);
    return read.warnings;
}

// Each damaged file gives one warning naming it and its first bad line, and
// the rest of it is used.
TEST(ReportHistory, BadReportsAreSkippedLineByLineWithOneWarningEach) {
    const std::vector<AUDIT_RECORD> rows = test::SiteRecords(2, 3, 4);
    const std::string good = test::ReportText(rows, ";");
    const std::string name = "ZRMAudit_20260315_000000.csv";
    const std::string path = "ZRMAudit_20260315_000000.csv: ";

    // Edited by hand: a note typed in, a column deleted, a date rewritten.
    std::string edited = good;
    const std::size_t row2 = edited.find("\r\n", edited.find("\r\n", edited.find("Date;")) + 2);
    edited.insert(row2 + 2, "checked by the auditor\r\n");
    const std::size_t row4 = edited.find("\r\n", edited.find("auditor") + 9) + 2;
    edited.replace(edited.find(";", row4 + 11), 1, "");
    edited.replace(edited.rfind("2026."), 10, "14/03/2026");
    std::string warning = Warnings(name, edited);
    EXPECT_NE(warning.find(path + "line 5: not a row of nine fields"), std::string::npos)
        << warning;
    EXPECT_NE(warning.find("3 bad lines skipped, " + std::to_string(rows.size() - 2) + " rows"),
              std::string::npos)
        << warning;
    EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1);

    // Cut short in the middle of a row: the rows before it count.
    warning = Warnings(name, good.substr(0, good.find("Create", good.size() / 2)));
    EXPECT_NE(warning.find(path + "line "), std::string::npos) << warning;
    EXPECT_NE(warning.find("2 bad lines skipped"), std::string::npos) << warning;

    // The header says ";" but the rows were written with ",".
    std::string mixed = test::ReportText(rows, ",");
    const std::size_t header = mixed.find("Date,");
    mixed.replace(header, ReportHeaderLine(",").size(), ReportHeaderLine(";"));
    warning = Warnings(name, mixed);
    EXPECT_NE(warning.find(path + "line 5: not a row of nine fields"), std::string::npos)
        << warning;

    // Not a report at all, nor a file to read.
    for (const std::string& text :
         {std::string("PK\x03\x04\x00\x01garbage", 12), std::string("a;b;c\r\n1;2;3\r\n"),
          std::string(), std::string(200000, 'x')}) {
        warning = Warnings(name, text);
        EXPECT_NE(warning.find(path + "not an audit report"), std::string::npos) << warning;
    }
}

TEST(ReportHistory, QuotedFieldsAndForeignFilesAreReadAsTheWriterMeantThem) {
    AUDIT_RECORD r = Access(1773446400, "operator", ACTION_OPEN, "D:\\Rec;ords\\\"a\".zrm",
                            "C:\\A;B\\pramvoxe.exe");
    test::TempDir dir;
    test::WriteFile(dir.File("ZRMAudit_20260314_000000.csv"),
                    "\xEF\xBB\xBF" + test::ReportText({r}, ";"));
    test::WriteFile(dir.File("notes.csv"), "anything");
    test::WriteFile(dir.File("_ZRMAudit_summary.txt"), "anything");
    const FolderRead read = ReadFolder(dir);
    ASSERT_EQ(read.rows.size(), 1u);
    EXPECT_EQ(RowRecording(read.rows[0].row), r.objectName);
    EXPECT_EQ(RowProgram(read.rows[0].row), r.processName);
    EXPECT_EQ(read.warnings, "");
    EXPECT_EQ(read.reports.size(), 1u);

    REPORT_ROW row;
    EXPECT_TRUE(SplitReportRow("a;\"b\"c\";d;e;f;g;h;i;j;", ";", row));  // a lone quote stays
    EXPECT_EQ(row[kColumnTime], "b\"c");
    EXPECT_FALSE(SplitReportRow("a;\"b;c;d;e;f;g;h;i;j;", ";", row));
    EXPECT_FALSE(SplitReportRow("a;b;c;d;e;f;g;h;", ";", row));
    EXPECT_FALSE(SplitReportRow("a;b;c;d;e;f;g;h;i;j;k;", ";", row));
    EXPECT_EQ(HeaderSeparator("Date, Time, Computer, User, Path File, Name File, Event, "
                              "Path Program, Name Program"),
              ", ");
    EXPECT_EQ(HeaderSeparator("Date;Time;Computer;User"), "");
}

}  // namespace
}  // namespace vzrm
