// The records as vzrmlog prints them for scripts, and the JSON they use.
#include "report/record_lines.h"

#include <gtest/gtest.h>

#include "report/json_text.h"

namespace vzrm {
namespace {

AUDIT_RECORD Example() {
    AUDIT_RECORD record;
    record.time = 1773479133;  // 2026-03-14 09:05:33 UTC (tests run in UTC)
    record.computer = "RECPC";
    record.user = "operator";
    record.objectName = "D:\\Records\\case 12, take 2.zrm";
    record.processName = "C:\\Rec\\pramvoxe.exe";
    record.handleId = 0x1a4;
    record.processId = 4321;
    record.eventId = 4656;
    record.recordNumber = 12;
    record.action = ACTION_CREATE;
    return record;
}

TEST(JsonText, StringsAreEscapedAndAlwaysUtf8) {
    EXPECT_EQ(JsonString("plain"), "\"plain\"");
    EXPECT_EQ(JsonString("D:\\a \"b\""), R"("D:\\a \"b\"")");
    EXPECT_EQ(JsonString("t\tl\nr\r\x01\x1f"), R"("t\tl\nr\r\u0001\u001f")");
    EXPECT_EQ(JsonString(std::string("nul\0end", 7)), R"("nul\u0000end")");
    EXPECT_EQ(JsonString("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC"), "\"gr\xC3\xBC\xC3\x9F \xE2\x82\xAC\"");
    // A byte that is no UTF-8 (a code-page text) becomes U+FFFD instead of breaking the line.
    EXPECT_EQ(JsonString("caf\xE9!"), "\"caf\xEF\xBF\xBD!\"");
    EXPECT_EQ(
        CJsonObject().Text("a", "x").Number("b", 18446744073709551615u).Json("c", "[]").Close(),
        R"({"a":"x","b":18446744073709551615,"c":[]})");
    EXPECT_EQ(CJsonObject().Close(), "{}");
}

TEST(RecordLines, TheThreeFormatsOfOneRecord) {
    EXPECT_EQ(RecordLine(Example(), RecordFormat::tsv),
              "2026.03.14\t09:05:33\tRECPC\toperator\tD:\\Records\\case 12, take 2.zrm\tCreate\t"
              "C:\\Rec\\pramvoxe.exe\t0x1A4\t0x10E1\t4656\t12\n");
    EXPECT_EQ(RecordLine(Example(), RecordFormat::csv),
              "2026.03.14,09:05:33,RECPC,operator,\"D:\\Records\\case 12, take 2.zrm\",Create,"
              "C:\\Rec\\pramvoxe.exe,0x1A4,0x10E1,4656,12\r\n");
    EXPECT_EQ(RecordLine(Example(), RecordFormat::json),
              R"({"date":"2026.03.14","time":"09:05:33","computer":"RECPC","user":"operator",)"
              R"("object":"D:\\Records\\case 12, take 2.zrm","action":"Create",)"
              R"("process":"C:\\Rec\\pramvoxe.exe","handle":420,"pid":4321,"event_id":4656,)"
              R"("record_number":12})"
              "\n");
    EXPECT_EQ(
        RecordHeader(RecordFormat::csv),
        "date,time,computer,user,object,action,process,handle,pid,event_id,record_number\r\n");
    EXPECT_EQ(RecordHeader(RecordFormat::tsv), "");
    EXPECT_EQ(RecordHeader(RecordFormat::json), "");
}

// A computer name with CR LF must not forge a line of the TSV, nor a name
// with escape sequences or a bidi override drive the terminal it is shown on.
TEST(RecordLines, TheTsvEscapesControlsAndTheCsvAndJsonKeepTheirOwnForm) {
    AUDIT_RECORD record = Example();
    record.computer = "PC\r\n2026.03.14\t09:05:33\tFORGED";
    record.user = "op\x1b]0;owned\x07";
    record.objectName = "D:\\a\xE2\x80\xAEgpj.zrm";
    record.processName =
        "p\x7f\xC2\x9B"
        "2J.exe";
    EXPECT_EQ(RecordLine(record, RecordFormat::tsv),
              "2026.03.14\t09:05:33\tPC\\r\\n2026.03.14\\t09:05:33\\tFORGED\t"
              "op\\x1b]0;owned\\x07\tD:\\a\\u202egpj.zrm\tCreate\tp\\x7f\\u009b2J.exe\t"
              "0x1A4\t0x10E1\t4656\t12\n");
    const std::string json = RecordLine(record, RecordFormat::json);
    EXPECT_NE(json.find(R"("computer":"PC\r\n2026.03.14\t09:05:33\tFORGED")"), std::string::npos)
        << json;
    const std::string csv = RecordLine(record, RecordFormat::csv);
    EXPECT_EQ(csv.find("FORGED"), std::string::npos) << "the CSV's fields end at CR or LF";
}

TEST(RecordLines, FormatNames) {
    RecordFormat format = RecordFormat::csv;
    ASSERT_TRUE(ParseRecordFormat("json", format));
    EXPECT_EQ(format, RecordFormat::json);
    ASSERT_TRUE(ParseRecordFormat("tsv", format));
    EXPECT_EQ(format, RecordFormat::tsv);
    ASSERT_TRUE(ParseRecordFormat("csv", format));
    EXPECT_EQ(format, RecordFormat::csv);
    for (const char* wrong : {"", "CSV", "xml", "json "}) {
        EXPECT_FALSE(ParseRecordFormat(wrong, format)) << wrong;
        EXPECT_EQ(format, RecordFormat::csv) << "left as it was";
    }
}

}  // namespace
}  // namespace vzrm
