// Rows and header of the CSV audit report.
#include "report/report_row.h"

#include <gtest/gtest.h>

#include <vector>

namespace vzrm {
namespace {

AUDIT_RECORD Example() {
    AUDIT_RECORD record;
    record.time = 1773479133;  // 2026-03-14 09:05:33 UTC (tests run in UTC)
    record.computer = "RECPC";
    record.user = "operator";
    record.objectName = "D:\\Records\\case12.zrm";
    record.processName = "C:\\Program Files\\Rec\\pramvoxe.exe";
    record.action = ACTION_CREATE;
    return record;
}

TEST(ReportRow, ExampleRowAndHeader) {
    EXPECT_EQ(ReportRowLine(Example(), ";"),
              "2026.03.14;09:05:33;RECPC;operator;D:\\Records\\;case12.zrm;Create;"
              "C:\\Program Files\\Rec\\;pramvoxe.exe;\r\n");
    EXPECT_EQ(ReportHeaderLine(","),
              "Date,Time,Computer,User,Path File,Name File,Event,Path Program,Name Program\r\n");
}

TEST(ReportRow, FieldsHoldingTheSeparatorAreQuotedAndNothingElseChanges) {
    AUDIT_RECORD record = Example();
    record.processName = "C:\\A;B\\pramvoxe.exe";
    record.objectName = "D:\\Records\\100%s \"x\".zrm";
    record.action = static_cast<AUDIT_ACTION>(3);
    EXPECT_EQ(ReportRowLine(record, ";"),
              "2026.03.14;09:05:33;RECPC;operator;D:\\Records\\;100%s \"x\".zrm;;"
              "\"C:\\A;B\\\";pramvoxe.exe;\r\n");
    // A "." separator quotes every date, and a separator of two bytes is searched whole.
    EXPECT_EQ(ReportRowLine(Example(), ".").substr(0, 14), "\"2026.03.14\".0");
    EXPECT_EQ(QuoteField("a;b", ";;"), "a;b");
    EXPECT_EQ(QuoteField("a;;b", ";;"), "\"a;;b\"");
}

// The writer keeps texts from row to row: nothing of one row may show in the next.
TEST(ReportRow, RowsOfOneWriterAreTheRowsMadeOneByOne) {
    std::vector<AUDIT_RECORD> records(5, Example());
    records[1].time += 1;
    records[2].objectName = "C:case12.zrm";
    records[2].processName = "pramvoxe.exe";
    records[3].objectName = "E:a.zrm";
    records[3].processName = "F:b.exe";
    records[3].action = ACTION_OTHER_ACCESS;
    records[4].time -= 86400;
    records[4].action = ACTION_DELETE;
    CReportRowWriter writer(";");
    for (const AUDIT_RECORD& record : records) {
        EXPECT_EQ(writer.Line(record), ReportRowLine(record, ";"));
    }
    EXPECT_EQ(writer.Line(records[3]),
              "2026.03.14;09:05:33;RECPC;operator;E:\\;a.zrm;;F:\\;b.exe;\r\n");
    EXPECT_EQ(writer.Line(records[4]).substr(0, 20), "2026.03.13;09:05:33;");
}

TEST(ReportRow, ActionWords) {
    EXPECT_EQ(ActionWord(ACTION_OPEN), "Open");
    EXPECT_EQ(ActionWord(ACTION_WRITE), "Write");
    EXPECT_EQ(ActionWord(ACTION_CLOSE), "Close");
    EXPECT_EQ(ActionWord(ACTION_DELETE), "Delete");
    EXPECT_EQ(ActionWord(ACTION_NONE), "");
}

TEST(ReportRow, PathsSplitIntoFolderAndName) {
    const auto split = [](const std::string& path) {
        const ReportPathParts parts = SplitReportPath(path);
        return parts.folder + "|" + parts.name;
    };
    EXPECT_EQ(split("D:\\Records\\case12.zrm"), "D:\\Records\\|case12.zrm");
    EXPECT_EQ(split("case12.zrm"), "|case12.zrm");
    EXPECT_EQ(split("C:case12.zrm"), "C:\\|case12.zrm");
    EXPECT_EQ(split("\\\\server\\share\\a.zrm"), "\\\\server\\share\\|a.zrm");
    EXPECT_EQ(split("D:\\Records\\"), "D:\\Records\\|");
    EXPECT_EQ(split(""), "|");
    const std::string longName(600, 'n');
    EXPECT_EQ(split("D:\\" + longName + ".zrm"), "D:\\|" + longName + ".zrm");
}

// A field never breaks the row: it ends at its first line break, and a
// quoted field doubles its quotes, as CSV readers expect.
TEST(ReportRow, LineBreaksEndAFieldAndQuotedFieldsDoubleTheirQuotes) {
    EXPECT_EQ(QuoteField("PC1\r\n2026.03.14;forged", ";"), "PC1");
    EXPECT_EQ(QuoteField("PC1\nx", ";"), "PC1");
    EXPECT_EQ(QuoteField("\r\n", ";"), "");
    EXPECT_EQ(QuoteField("a;\"b\"", ";"), "\"a;\"\"b\"\"\"");
    EXPECT_EQ(QuoteField("\"lead", ";"), "\"\"\"lead\"");
    EXPECT_EQ(QuoteField("mid\"dle\ttab", ";"), "mid\"dle\ttab");
    AUDIT_RECORD record = Example();
    record.computer = "RECPC\r\n2026.03.14;09:05:34;FORGED";
    const std::string line = ReportRowLine(record, ";");
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    EXPECT_EQ(line.substr(0, 26), "2026.03.14;09:05:33;RECPC;");
}

}  // namespace
}  // namespace vzrm
