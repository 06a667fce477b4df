#include "audit/text_pool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audit/compact_record.h"
#include "base/case_fold.h"

namespace vzrm {
namespace {

// Many texts, some longer than a storage block, so that the tables grow and
// the texts spread over several blocks.
std::vector<std::string> ManyTexts() {
    std::vector<std::string> texts;
    for (int i = 0; i < 20000; ++i) {
        texts.push_back("D:\\Records\\case" + std::to_string(i) + ".zrm");
    }
    texts.push_back(std::string(100000, 'x'));
    texts.push_back("");
    texts.push_back(std::string(70000, 'y'));
    return texts;
}

TEST(TextPool, EachTextHasOneIdAndReadsBackAfterTheTablesGrew) {
    CTextPool pool;
    const std::vector<std::string> texts = ManyTexts();
    std::vector<CTextPool::Id> ids;
    for (const std::string& text : texts) {
        ids.push_back(pool.Intern(text));
    }
    ASSERT_EQ(pool.Size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(ids[i], i);
        EXPECT_EQ(pool.Text(ids[i]), texts[i]);
        EXPECT_EQ(pool.Intern(texts[i]), ids[i]);  // seen before: the same id
        EXPECT_EQ(pool.KeyOf(ids[i]), ids[i]);     // no two differ only in case
    }
    EXPECT_EQ(pool.Size(), texts.size());
}

TEST(TextPool, TextsEqualIgnoringCaseShareAKeyAndKeepTheirOwnSpelling) {
    CTextPool pool;
    const CTextPool::Id upper = pool.Intern("D:\\Records\\ÄB.ZRM");
    const CTextPool::Id other = pool.Intern("D:\\Records\\AB.ZRM");
    const CTextPool::Id lower = pool.Intern("d:\\records\\äb.zrm");
    const CTextPool::Id greek = pool.Intern("ΣΟΦΊΑ.zrm");
    EXPECT_NE(upper, lower);
    EXPECT_EQ(pool.Text(lower), "d:\\records\\äb.zrm");
    EXPECT_EQ(pool.KeyOf(upper), pool.KeyOf(lower));
    EXPECT_NE(pool.KeyOf(upper), pool.KeyOf(other));  // Ä is not A
    EXPECT_EQ(pool.FindKey("d:\\RECORDS\\äB.zrm"), pool.KeyOf(upper));
    EXPECT_EQ(pool.FindKey("σοφία.ZRM"), pool.KeyOf(greek));
    EXPECT_EQ(pool.FindKey("D:\\Records\\AC.ZRM"), std::nullopt);

    // A non-ASCII text that folds to an ASCII one must hash like it.
    const CTextPool::Id k = pool.Intern("k");
    const std::string kelvin = "\xE2\x84\xAA";  // KELVIN SIGN
    EXPECT_EQ(pool.FindKey(kelvin),
              EqualNoCase(kelvin, "k") ? std::optional(pool.KeyOf(k)) : std::nullopt);
}

TEST(TextPool, ACompactRecordExpandsToTheRecordItWasMadeOf) {
    AUDIT_RECORD record;
    record.user = "CORP\\anna";
    record.computer = "RECPC";
    record.objectName = "D:\\Records\\a very long folder name\\case0001.zrm";
    record.handleId = 0x1234;
    record.processId = 0x88;
    record.processName = "C:\\Program Files\\Rec\\pramvoxe.exe";
    record.time = 1'773'479'133;
    record.eventId = 4663;
    record.recordNumber = 1ull << 40;
    record.action = ACTION_WRITE;

    CTextPool pool;
    const CompactRecord first = Compact(record, pool);
    AUDIT_RECORD second = record;
    second.user = "N/A";
    second.objectName = "b.zrm";
    second.processName = "";
    second.action = ACTION_CLOSE;
    const CompactRecord compact = Compact(second, pool);

    AUDIT_RECORD out;
    Expand(first, pool, out);
    EXPECT_EQ(out, record);
    Expand(compact, pool, out);  // the same record reused, shorter texts
    EXPECT_EQ(out, second);
    EXPECT_EQ(compact.computer, first.computer);
}

}  // namespace
}  // namespace vzrm
