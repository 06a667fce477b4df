// The lines of vzrmlog dump, both forms, for values that would break them.
#include "app/dump_line.h"

#include <gtest/gtest.h>

namespace vzrm {
namespace {

TEST(DumpLine, TabSeparatedValuesStayInTheirColumns) {
    const std::string head[5] = {"12", "4663", "2026-03-14T08:05:33.0000000Z", "Provider",
                                 "RE\tC\r\nPC"};
    EXPECT_EQ(DumpLine(head, {{"ObjectName", "D:\\a\nb.zrm"}, {"1", ""}}, false),
              "12\t4663\t2026-03-14T08:05:33.0000000Z\tProvider\tRE C  PC\t"
              "ObjectName=D:\\a b.zrm\t1=\n");
    // An event without a record number keeps its five columns.
    const std::string missing[5] = {"", "", "", "P", ""};
    EXPECT_EQ(DumpLine(missing, {}, false), "\t\t\tP\t\n");
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
