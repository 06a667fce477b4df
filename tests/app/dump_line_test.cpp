// The lines of vzrmlog dump, both forms, for values that would break them.
#include "app/dump_line.h"

#include <gtest/gtest.h>

namespace vzrm {
namespace {

TEST(DumpLine, TabSeparatedValuesStayInTheirColumns) {
    const std::string head[5] = {"12", "4663", "2026-03-14T08:05:33.0000000Z", "Provider",
                                 "RE\tC\r\nPC"};
    EXPECT_EQ(DumpLine(head, {{"ObjectName", "D:\\a\nb.zrm"}, {"1", ""}}, false),
              "12\t4663\t2026-03-14T08:05:33.0000000Z\tProvider\tRE\\tC\\r\\nPC\t"
              "ObjectName=D:\\a\\nb.zrm\t1=\n");
    // An event without a record number keeps its five columns.
    const std::string missing[5] = {"", "", "", "P", ""};
    EXPECT_EQ(DumpLine(missing, {}, false), "\t\t\tP\t\n");
}

// Names in a log that would drive the terminal: the window title, a clear
// screen, colours (ESC and the C1 CSI), a bidi override that reorders the line.
TEST(DumpLine, ControlsAndBidiOverridesAreShownEscaped) {
    const std::string head[5] = {"1", "4663", "T", "P\x1b]0;title\x07", "\x1b[2J\x1b[31mPC"};
    EXPECT_EQ(
        DumpLine(head,
                 {{"ObjectName",
                   "D:\\evil\xE2\x80\xAE"
                   "fdp.zrm"},
                  {"2",
                   "\xC2\x9B"
                   "2J\x7f\x01"},
                  {"3", "\xE2\x81\xA6x\xE2\x81\xA9 \xE2\x80\x8F \xD8\x9C \xC3\xBC\xE2\x82\xAC"}},
                 false),
        "1\t4663\tT\tP\\x1b]0;title\\x07\t\\x1b[2J\\x1b[31mPC\t"
        "ObjectName=D:\\evil\\u202efdp.zrm\t2=\\u009b2J\\x7f\\x01\t"
        "3=\\u2066x\\u2069 \\u200f \\u061c \xC3\xBC\xE2\x82\xAC\n");
}

TEST(DumpLine, JsonKeepsEveryValueAsItIs) {
    const std::string head[5] = {"12", "4663", "2026-03-14T08:05:33.0000000Z", "Provider", "RE\tC"};
    EXPECT_EQ(DumpLine(head, {{"ObjectName", "D:\\a\nb \"c\".zrm"}, {"ObjectName", "x"}}, true),
              R"({"record_number":12,"event_id":4663,"time":"2026-03-14T08:05:33.0000000Z",)"
              R"("provider":"Provider","computer":"RE\tC","data":[)"
              R"({"name":"ObjectName","value":"D:\\a\nb \"c\".zrm"},)"
              R"({"name":"ObjectName","value":"x"}]})"
              "\n");
    // Missing counts are null; a count too large for a number stays text.
    const std::string odd[5] = {"", "99999999999999999999", "", "", ""};
    EXPECT_EQ(DumpLine(odd, {}, true),
              R"({"record_number":null,"event_id":"99999999999999999999","time":"",)"
              R"("provider":"","computer":"","data":[]})"
              "\n");
}

}  // namespace
}  // namespace vzrm
