#include "base/resource_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace vzrm {
namespace {

TEST(StringTable, TextIdsMapToBlocksOfSixteen) {
    EXPECT_EQ(SlotOfText(58396).block, 3650u);
    EXPECT_EQ(SlotOfText(58396).entry, 12u);
    EXPECT_EQ(SlotOfText(0).block, 1u);
    EXPECT_EQ(SlotOfText(15).entry, 15u);
    EXPECT_EQ(SlotOfText(16).block, 2u);
    EXPECT_EQ(SlotOfText(16).entry, 0u);
}

TEST(StringTable, LoadsTheProgramsTexts) {
    EXPECT_EQ(LoadResourceText(58396), "Create");
    EXPECT_EQ(LoadResourceText(58397), "Open");
    EXPECT_EQ(LoadResourceText(58398), "Close");
    EXPECT_EQ(LoadResourceText(58399), "Delete");
    EXPECT_EQ(LoadResourceText(58400), "Write");
    EXPECT_EQ(LoadResourceText(58401), "Start of processing: %s\r\n");
    EXPECT_EQ(LoadResourceText(58405),
              "%sLast date of processing: %s\r\nProcessed events: %u\r\n%s\r\n%s"
              "------------------------------\r\n");
    EXPECT_EQ(LoadResourceText(60554), "The folder '%s' is invalid or does not exist.");
    EXPECT_EQ(LoadResourceText(64001), "DefaultProfile");
    EXPECT_EQ(LoadResourceText(64767), "Unknown error.");
}

TEST(StringTable, EveryNamedTextIsPresent) {
    std::vector<std::uint32_t> ids = {60272, 60290, 60544, 60554, 60567, 60594, 64001, 64767};
    for (std::uint32_t id = 58391; id <= 58417; ++id) {
        if (id != 58413 && id != 58415) {
            ids.push_back(id);
        }
    }
    for (std::uint32_t id = 60480; id <= 60486; ++id) {
        ids.push_back(id);
    }
    for (std::uint32_t id : ids) {
        EXPECT_FALSE(LoadResourceText(id).empty()) << id;
    }
}

TEST(StringTable, MissingBlockOrEntryGivesEmptyText) {
    EXPECT_EQ(LoadResourceText(1), "");      // no block at all
    EXPECT_EQ(LoadResourceText(58413), "");  // empty entry inside a present block
    EXPECT_EQ(LoadResourceText(65535), "");
    EXPECT_EQ(LoadResourceText(0xFFFFFFFFu), "");
}

TEST(StringTable, ConvertsUtf16ToTheNarrowCodePage) {
    // Block 1 holds ids 0..15: id 1 = "Ä€", id 2 = a surrogate pair (U+1F600).
    const char16_t units[] = {0, 2, u'Ä', u'€', 2, 0xD83D, 0xDE00, 0, 0, 0,
                              0, 0, 0,    0,    0, 0,      0,      0, 0, 0};
    const resources::StringBlock blocks[] = {{1, 0}};
    EXPECT_EQ(LoadTextFromTable(blocks, 1, units, std::size(units), 1), "Ä€");
    EXPECT_EQ(LoadTextFromTable(blocks, 1, units, std::size(units), 2), "\xF0\x9F\x98\x80");
    EXPECT_EQ(LoadTextFromTable(blocks, 1, units, std::size(units), 0), "");
}

TEST(StringTable, TruncatedTableNeverReadsPastItsEnd) {
    // The second entry claims 50 units but the table ends after 3.
    const char16_t units[] = {0, 50, u'a', u'b'};
    const resources::StringBlock blocks[] = {{1, 0}};
    EXPECT_EQ(LoadTextFromTable(blocks, 1, units, std::size(units), 1), "");
    EXPECT_EQ(LoadTextFromTable(blocks, 1, units, std::size(units), 9), "");
}

TEST(StringTable, FormattingKeepsPercentInArgumentsLiteral) {
    EXPECT_EQ(FormatResource(58401, "100%s.zrm %d"), "Start of processing: 100%s.zrm %d\r\n");
    EXPECT_EQ(FormatResource(58409, "D:\\Reports\\ZRMAudit_%n.csv"),
              "Audit report: D:\\Reports\\ZRMAudit_%n.csv");
    EXPECT_EQ(FormatResource(58402, ";", ";", ";", ";", ";", ";", ";", ";"),
              "Date;Time;Computer;User;Path File;Name File;Event;Path Program;Name Program\r\n");
}

}  // namespace
}  // namespace vzrm
