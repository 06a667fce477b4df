// Message tables from PE files and .mc texts, and the message-formatting rules.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "formats/format_message.h"
#include "formats/message_table.h"
#include "platform/error_codes.h"
#include "platform/posix/message_files.h"
#include "support/temp_dir.h"

namespace vzrm::platform {
namespace {

using namespace formats;

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// A minimal PE32 image with one .rsrc section holding a message table of
// messages low, low+1, ... (UTF-16, or ANSI when `ansi`).
std::vector<std::uint8_t> PeWithMessages(std::uint32_t low, const std::vector<std::string>& texts,
                                         bool ansi = false) {
    std::vector<std::uint8_t> entries;
    for (const std::string& text : texts) {
        std::vector<std::uint8_t> body;
        for (char c : text) {
            body.push_back(static_cast<std::uint8_t>(c));
            if (!ansi) {
                body.push_back(0);
            }
        }
        do {
            body.push_back(0);
        } while ((body.size() + 4) % 4 != 0);
        const std::size_t at = entries.size();
        entries.resize(at + 4 + body.size());
        Put16(entries, at, static_cast<std::uint16_t>(4 + body.size()));
        Put16(entries, at + 2, ansi ? 0 : 1);
        std::memcpy(entries.data() + at + 4, body.data(), body.size());
    }
    std::vector<std::uint8_t> rsrc(0x58 + 16);
    Put16(rsrc, 0x0E, 1);
    Put32(rsrc, 0x10, 11);
    Put32(rsrc, 0x14, 0x80000000u | 0x18);
    Put16(rsrc, 0x18 + 0x0E, 1);
    Put32(rsrc, 0x18 + 0x10, 1);
    Put32(rsrc, 0x18 + 0x14, 0x80000000u | 0x30);
    Put16(rsrc, 0x30 + 0x0E, 1);
    Put32(rsrc, 0x30 + 0x10, 0x409);
    Put32(rsrc, 0x30 + 0x14, 0x48);
    Put32(rsrc, 0x48, 0x1000 + 0x58);
    Put32(rsrc, 0x4C, static_cast<std::uint32_t>(16 + entries.size()));
    Put32(rsrc, 0x58, 1);
    Put32(rsrc, 0x5C, low);
    Put32(rsrc, 0x60, low + static_cast<std::uint32_t>(texts.size()) - 1);
    Put32(rsrc, 0x64, 16);
    const std::size_t entriesAt = rsrc.size();
    rsrc.resize(entriesAt + entries.size());
    std::memcpy(rsrc.data() + entriesAt, entries.data(), entries.size());

    std::vector<std::uint8_t> pe(0x200, 0);
    pe[0] = 'M';
    pe[1] = 'Z';
    Put32(pe, 0x3C, 0x40);
    std::memcpy(pe.data() + 0x40, "PE\0\0", 4);
    Put16(pe, 0x44, 0x14C);
    Put16(pe, 0x46, 1);
    Put16(pe, 0x54, 0xE0);
    Put16(pe, 0x58, 0x10B);
    Put32(pe, 0x58 + 92, 16);
    Put32(pe, 0x58 + 96 + 16, 0x1000);
    Put32(pe, 0x58 + 96 + 20, static_cast<std::uint32_t>(rsrc.size()));
    const std::size_t section = 0x58 + 0xE0;
    std::memcpy(pe.data() + section, ".rsrc", 5);
    Put32(pe, section + 8, static_cast<std::uint32_t>(rsrc.size()));
    Put32(pe, section + 12, 0x1000);
    Put32(pe, section + 16, static_cast<std::uint32_t>(rsrc.size()));
    Put32(pe, section + 20, 0x200);
    pe.resize(0x200 + rsrc.size());
    std::memcpy(pe.data() + 0x200, rsrc.data(), rsrc.size());
    return pe;
}

TEST(PeMessageTable, ReadsUnicodeAndAnsiMessages) {
    MessageTable table;
    std::string error;
    ASSERT_TRUE(ReadPeMessageTable(
        PeWithMessages(4416, {"ReadData (or ListDirectory)", "WriteData (or AddFile)"}), table,
        error))
        << error;
    EXPECT_EQ(table.at(4416), "ReadData (or ListDirectory)");
    EXPECT_EQ(table.at(4417), "WriteData (or AddFile)");
    ASSERT_TRUE(ReadPeMessageTable(PeWithMessages(560, {"Object Open:%n"}, true), table, error))
        << error;
    EXPECT_EQ(table.at(560), "Object Open:%n");
}

TEST(PeMessageTable, DamagedFilesGiveAnErrorNeverACrash) {
    MessageTable table;
    std::string error;
    EXPECT_FALSE(ReadPeMessageTable(std::vector<std::uint8_t>{'M', 'Z'}, table, error));
    EXPECT_FALSE(ReadPeMessageTable(std::vector<std::uint8_t>(100, 0), table, error));
    const std::vector<std::uint8_t> good = PeWithMessages(1, {"one", "two", "three"});
    for (std::size_t cut = 0; cut < good.size(); cut += 7) {
        ReadPeMessageTable(std::vector<std::uint8_t>(
                               good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)),
                           table, error);
    }
    std::vector<std::uint8_t> huge = good;
    Put32(huge, 0x200 + 0x60, 0xFFFFFFFF);  // a block that claims four billion messages
    EXPECT_TRUE(ReadPeMessageTable(huge, table, error));
    EXPECT_EQ(table.size(), 3u);
}

TEST(PeMessageTable, BlocksSharingEntriesReadNoMoreThanTheDataHolds) {
    // 2000 blocks of a million ids each, all pointing at the same 64 KiB entry:
    // read as they claim, two billion copies of it.
    std::vector<std::uint8_t> pe = PeWithMessages(1, {std::string(32000, 'x')});
    const std::size_t table = 0x200 + 0x58;
    const std::uint32_t entryAt = 16;
    const std::uint32_t entrySize = static_cast<std::uint32_t>(pe.size() - table - entryAt);
    std::vector<std::uint8_t> blocks(4 + 12 * 2000);
    Put32(blocks, 0, 2000);
    for (std::uint32_t i = 0; i < 2000; ++i) {
        Put32(blocks, 4 + 12 * i, i << 20);
        Put32(blocks, 8 + 12 * i, (i << 20) + 0xFFFFF);
        Put32(blocks, 12 + 12 * i, static_cast<std::uint32_t>(blocks.size()));
    }
    const std::vector<std::uint8_t> entry(pe.begin() + static_cast<std::ptrdiff_t>(table + entryAt),
                                          pe.end());
    pe.resize(table);
    pe.insert(pe.end(), blocks.begin(), blocks.end());
    pe.insert(pe.end(), entry.begin(), entry.end());
    const auto rsrcSize = static_cast<std::uint32_t>(pe.size() - 0x200);
    Put32(pe, 0x200 + 0x4C, rsrcSize - 0x58);
    Put32(pe, 0x58 + 96 + 20, rsrcSize);
    Put32(pe, 0x58 + 0xE0 + 8, rsrcSize);
    Put32(pe, 0x58 + 0xE0 + 16, rsrcSize);
    MessageTable messages;
    std::string error;
    ASSERT_TRUE(ReadPeMessageTable(pe, messages, error)) << error;
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.at(0), std::string(32000, 'x'));
    EXPECT_LT(entrySize, 0x10000u);
}

TEST(MessageFileLoad, AFileNoMessageFileComesNearIsRefusedUnread) {
    test::TempDir dir;
    test::WriteBytes(dir.File("big.dll"), PeWithMessages(1, {"one"}));
    std::filesystem::resize_file(dir.File("big.dll"), std::uintmax_t{300} << 20);  // sparse
    posix::FileMessageFiles files;
    HMODULE module = 7;
    EXPECT_EQ(files.Load(dir.File("big.dll"), module), kErrorInvalidData);
    EXPECT_EQ(module, 0);
    test::WriteBytes(dir.File("small.dll"), PeWithMessages(1, {"one"}));
    ASSERT_EQ(files.Load(dir.File("small.dll"), module), kErrorSuccess);
    std::string text;
    EXPECT_EQ(files.FindMessage(module, 1, text), kErrorSuccess);
    EXPECT_EQ(text, "one");
}

TEST(McMessages, IdentifiersTextsAndErrors) {
    MessageTable table;
    std::string error;
    ASSERT_TRUE(
        ReadMcMessages("; the Security source\r\n"
                       "MessageIdTypedef=DWORD\r\n"
                       "MessageId=560\r\n"
                       "SymbolicName=OPEN\r\n"
                       "Language=English\r\n"
                       "Object Open:%n\r\n"
                       "%tObject Name:%t%3\r\n"
                       ".\r\n"
                       "Language=German\r\n"
                       "Objekt:%n\r\n"
                       ".\r\n"
                       "MessageId=\r\n"
                       "Language=English\r\n"
                       "next\r\n"
                       ".\r\n"
                       "MessageId=0x10\r\n"
                       "Severity=Error\r\n"
                       "Facility=Application\r\n"
                       "Language=English\r\n"
                       "failed\r\n"
                       ".\r\n",
                       table, error))
        << error;
    EXPECT_EQ(table.at(560), "Object Open:%n\r\n%tObject Name:%t%3\r\n");
    EXPECT_EQ(table.at(561), "next\r\n");
    EXPECT_EQ(table.at(0xCFFF0010u), "failed\r\n");
    EXPECT_FALSE(ReadMcMessages("MessageId=1\nLanguage=English\ntext without end\n", table, error));
    EXPECT_EQ(error, "line 4: message text without its closing \".\"");
    EXPECT_FALSE(ReadMcMessages("MessageId=x1\n", table, error));
    EXPECT_EQ(error, "line 1: MessageId takes a number");
    EXPECT_FALSE(ReadMcMessages("Language=English\n.\n", table, error));
    EXPECT_TRUE(table.empty());
}

TEST(FormatMessageText, InsertsEscapesAndWidth) {
    const std::vector<const char*> args = {"D:\\R\\a.zrm", "%%4417", nullptr};
    EXPECT_EQ(FormatMessageText("Object:%t%1%nAccess:%t%2%n", {}, args),
              "Object:\tD:\\R\\a.zrm\r\nAccess:\t%%4417\r\n");   // inserted text is not scanned
    EXPECT_EQ(FormatMessageText("[%3][%9]", {}, args), "[][]");  // null and missing arguments
    EXPECT_EQ(FormatMessageText("%1!-12s!|", {}, args), "D:\\R\\a.zrm  |");
    EXPECT_EQ(FormatMessageText("100%% done%.%!", {}, {}), "100% done.!");
    EXPECT_EQ(FormatMessageText("cut%0 here", {}, {}), "cut");
    const MESSAGE_FORMAT ignore{true, 0};
    EXPECT_EQ(FormatMessageText("Name:%t%12!s!%n", ignore, args), "Name:\t%12!s!\r\n");
    const MESSAGE_FORMAT oneLine{false, 0xFF};
    EXPECT_EQ(FormatMessageText("Access is\r\ndenied.%nNext\r\n", oneLine, {}),
              "Access is denied.\r\nNext ");
    const MESSAGE_FORMAT narrow{false, 10};
    EXPECT_EQ(FormatMessageText("aaa bbb ccc ddd", narrow, {}), "aaa bbb\r\nccc ddd");
    EXPECT_EQ(FormatMessageText("[%1!6s!][%1!.1s!][%1!-4.2s!][%2!08i!]", {}, {"\xC3\xA9t\xC3\xA9"}),
              "[ \xC3\xA9t\xC3\xA9][][\xC3\xA9  ][        ]");  // precision never cuts a character
}

TEST(FormatMessageText, WidthsAndLengthsStopAtTheirBounds) {
    const std::vector<const char*> args = {"one"};
    // A width of two billion: the insert is as wide as the bound allows.
    EXPECT_EQ(FormatMessageText("%8!002000000000i!", {}, args).size(), kMaxInsertField);
    EXPECT_EQ(FormatMessageText("%1!-99999999999999999999s!|", {}, args),
              "one" + std::string(kMaxInsertField - 3, ' ') + "|");
    EXPECT_EQ(FormatMessageText("%1!.99999999999999999999s!", {}, args), "one");
    // Many wide inserts: the message stops at its bound, and goes as far as it allows.
    std::string many;
    for (int i = 0; i < 100; ++i) {
        many += "%1!32768s!";
    }
    const std::string wide = FormatMessageText(many, {}, args);
    EXPECT_EQ(wide.size(), kMaxMessageText);
    EXPECT_EQ(wide.substr(kMaxInsertField - 3, 3), "one");
    EXPECT_EQ(FormatMessageText(many, {true, 0}, args), many);
    // A long plain text cut at the bound loses the character cut in two.
    std::string accents = "a";
    for (std::size_t i = 0; i < kMaxMessageText / 2; ++i) {
        accents += "\xC3\xA9";
    }
    EXPECT_EQ(FormatMessageText(accents, {}, {}), accents.substr(0, kMaxMessageText - 1));
}

// A template taken apart once formats as FormatMessageText does, over
// escapes, endings, missing and null inserts, marker bytes, insert formats
// and texts that reach the bound.
TEST(CompiledMessage, FormatsAsFormatMessageText) {
    const std::string longText(kMaxMessageText, 'x');
    const std::vector<std::vector<const char*>> argumentLists = {
        {},
        {"D:\\R\\a.zrm", "%%4417", nullptr, "\x01two\x01"},
        {"\xC3\xA9t\xC3\xA9", "", "\r\n", "%1"},
        {longText.c_str(), "b"}};
    const char* const patterns[] = {"Object:%t%1%nAccess:%t%2%n%3%4",
                                    "100%% done%.%! %x%%",
                                    "cut%0 here %1",
                                    "trailing %",
                                    "%12 and %1%2%3 %99 %100",
                                    "marker \x01 %n%r%t% end",
                                    "%1!-12s!|%2!.1s!",
                                    "%1%1%2",
                                    "",
                                    "\xC3\xA9%1\xC3"};
    for (const char* pattern : patterns) {
        const CompiledMessage compiled(pattern);
        for (const auto& arguments : argumentLists) {
            SCOPED_TRACE(pattern);
            std::string out = "left over";
            compiled.Format(arguments, out);
            EXPECT_EQ(out, FormatMessageText(pattern, {}, arguments));
        }
    }
}

TEST(ExpandParameterReferences, ReplacesInOnePassAndStopsGrowingAtTheBound) {
    const auto lookup = [](std::uint32_t number, std::string& found) {
        if (number == 1 || number == 2) {
            found = number == 1 ? std::string(1000, 'p') : "%%1";
            return true;
        }
        return false;
    };
    EXPECT_EQ(ExpandParameterReferences("a %%2 %%9 b%%%%1.", lookup),
              "a %%1 %%9 b%%" + std::string(1000, 'p') + ".");  // inserted text is not scanned
    std::string many;
    for (int i = 0; i < 100000; ++i) {
        many += "%%1";
    }
    const std::string grown = ExpandParameterReferences(many, lookup);
    const std::size_t replaced = kMaxMessageText / 1000;
    EXPECT_EQ(grown.size(), replaced * 1000 + (100000 - replaced) * 3);
    EXPECT_EQ(grown.substr(replaced * 1000, 3), "%%1");
}

}  // namespace
}  // namespace vzrm::platform
