#include "audit/event_fields.h"

#include <gtest/gtest.h>

#include "formats/message_fields.h"

namespace vzrm {
namespace {

const char kMessage[] =
    "An attempt was made to access an object.\r\n\r\n"
    "Subject:\r\n"
    "\tSecurity ID:\t\tS-1-5-21-1\r\n"
    "\tAccount Name:\t\toperator  \r\n"
    "Object:\r\n"
    "\tObject Name:\tD:\\Records\\case12.zrm\r\n"
    "\tHandle ID:\t0x0000000000000420\r\n"
    "Process Information:\r\n"
    "\tProcess ID:\t0x1a4\r\n"
    "\tProcess Name:\tC:\\Program Files\\Rec\\pramvoxe.exe\n"
    "Access Request Information:\r\n"
    "\tAccess Mask:\t0x6\r\n"
    "\tAccount Name:\t\tsecond\r\n";

TEST(GetEventTextField, TakesTheTrimmedRestOfTheFirstMatchingLine) {
    EXPECT_EQ(GetEventTextField(kMessage, kLabelAccountName), "operator");
    EXPECT_EQ(GetEventTextField(kMessage, kLabelObjectName), "D:\\Records\\case12.zrm");
    EXPECT_EQ(GetEventTextField(kMessage, kLabelProcessName),
              "C:\\Program Files\\Rec\\pramvoxe.exe");
    EXPECT_EQ(GetEventTextField(kMessage, kLabelImageFileName), "");
    EXPECT_EQ(GetEventTextField("\tHandle ID:", kLabelHandleId), "");
    EXPECT_EQ(GetEventTextField("\tHandle ID:   \r\nnext", kLabelHandleId), "");
}

// The one-pass search gives what a search per label gives, on texts where a
// label repeats, hides inside a value or ends the text.
TEST(EventTextFields, ManyLabelsInOnePassAgreeWithOneSearchPerLabel) {
    const std::string_view labels[] = {kLabelAccountName, kLabelHandleId,    kLabelProcessId,
                                       kLabelObjectName,  kLabelProcessName, kLabelImageFileName,
                                       kLabelAccessMask};
    for (const std::string& text : {std::string(kMessage),
                                    std::string("\tObject Name:\tD:\\a\tHandle ID:\t7\r\n"
                                                "\tHandle ID:\t9\r\n\tAccess Mask:"),
                                    std::string("\t\tProcess ID:\t 12 \n\tProcess ID:\t13"),
                                    std::string("\tAccount\tAccount Name:\tx\t"),
                                    std::string("no fields\r\n"), std::string()}) {
        SCOPED_TRACE(text);
        std::string values[std::size(labels)];
        formats::FindMessageFields(text, labels, values);
        for (std::size_t i = 0; i < std::size(labels); ++i) {
            EXPECT_EQ(values[i], GetEventTextField(text, labels[i])) << labels[i];
        }
    }
}

TEST(ParseEventNumber, HexOfEitherWidthAndDecimal) {
    EXPECT_EQ(ParseEventNumber("0x00000050"), 0x50u);
    EXPECT_EQ(ParseEventNumber("0x0000000000000420"), 0x420u);  // 64-bit wide text
    EXPECT_EQ(ParseEventNumber("0x1a4"), 0x1A4u);
    EXPECT_EQ(ParseEventNumber("0x0"), 0u);
    EXPECT_EQ(ParseEventNumber("0x"), 0u);
    EXPECT_EQ(ParseEventNumber("12x"), 0u);   // has an x but no 0x prefix
    EXPECT_EQ(ParseEventNumber("0X50"), 0u);  // no lower-case x: read as decimal "0"
    EXPECT_EQ(ParseEventNumber("1234"), 1234u);
    EXPECT_EQ(ParseEventNumber("  77abc"), 77u);
    EXPECT_EQ(ParseEventNumber("abc"), 0u);
    EXPECT_EQ(ParseEventNumber(""), 0u);
    EXPECT_EQ(ParseEventNumber("-1"), 0xFFFFFFFFu);
    // Decimal IDs are read modulo 2^32, as hexadecimal ones are: handles of
    // 2^31 and above stay apart instead of collapsing into 0x7FFFFFFF.
    EXPECT_EQ(ParseEventNumber("2147483647"), 0x7FFFFFFFu);
    EXPECT_EQ(ParseEventNumber("2147483648"), 0x80000000u);
    EXPECT_EQ(ParseEventNumber("2147483649"), 0x80000001u);
    EXPECT_EQ(ParseEventNumber("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseEventNumber("4294967296"), 0u);
    EXPECT_EQ(ParseEventNumber("99999999999"), 99999999999ull % 0x100000000ull);
    EXPECT_EQ(ParseEventNumber("-2147483648"), 0x80000000u);
}

TEST(ClassifyAuditEvent, ModernEventsAndAccessMasks) {
    auto mask = [](const char* value) { return std::string("\tAccess Mask:\t") + value + "\r\n"; };
    EXPECT_EQ(ClassifyAuditEvent("", 4656, false), ACTION_OPEN);
    EXPECT_EQ(ClassifyAuditEvent("", 4658, false), ACTION_CLOSE);
    EXPECT_EQ(ClassifyAuditEvent("", 4660, false), ACTION_DELETE);
    EXPECT_EQ(ClassifyAuditEvent("", 4624, false), ACTION_NONE);
    EXPECT_EQ(ClassifyAuditEvent(mask("0x2"), 4663, false), ACTION_WRITE);
    EXPECT_EQ(ClassifyAuditEvent(mask("0x4"), 4663, false), ACTION_WRITE);
    EXPECT_EQ(ClassifyAuditEvent(mask("0x7"), 4663, false), ACTION_WRITE);
    EXPECT_EQ(ClassifyAuditEvent(mask("0x1"), 4663, false), ACTION_READ_DATA);
    EXPECT_EQ(ClassifyAuditEvent(mask("0x80"), 4663, false), ACTION_READ_ATTRIBUTES);
    EXPECT_EQ(ClassifyAuditEvent(mask("0x10000"), 4663, false), ACTION_READ_ATTRIBUTES);
    EXPECT_EQ(ClassifyAuditEvent(mask("0x10080"), 4663, false), ACTION_READ_ATTRIBUTES);
    EXPECT_EQ(ClassifyAuditEvent(mask("0x10100"), 4663, false), ACTION_OTHER_ACCESS);
    EXPECT_EQ(ClassifyAuditEvent(mask("0x100000"), 4663, false), ACTION_OTHER_ACCESS);
    EXPECT_EQ(ClassifyAuditEvent("", 4663, false), ACTION_OTHER_ACCESS);
    // Classic identifiers mean nothing in a modern log, and the other way round.
    EXPECT_EQ(ClassifyAuditEvent("", 560, false), ACTION_NONE);
    EXPECT_EQ(ClassifyAuditEvent("", 4656, true), ACTION_NONE);
}

TEST(ClassifyAuditEvent, ClassicEventsAndAccessWords) {
    auto words = [](const char* value) {
        return std::string("\tAccess Mask:\t") + value + "\r\n\t\t\tWriteData (or AddFile)\r\n";
    };
    EXPECT_EQ(ClassifyAuditEvent("", 560, true), ACTION_OPEN);
    EXPECT_EQ(ClassifyAuditEvent("", 562, true), ACTION_CLOSE);
    EXPECT_EQ(ClassifyAuditEvent("", 564, true), ACTION_DELETE);
    EXPECT_EQ(ClassifyAuditEvent(words("WriteData (or AddFile)"), 567, true), ACTION_WRITE);
    EXPECT_EQ(ClassifyAuditEvent(words("AppendData (or AddSubdirectory)"), 567, true),
              ACTION_WRITE);
    EXPECT_EQ(ClassifyAuditEvent(words("ReadData (or ListDirectory)"), 567, true),
              ACTION_READ_DATA);
    EXPECT_EQ(ClassifyAuditEvent(words("DELETE"), 567, true), ACTION_READ_ATTRIBUTES);
    EXPECT_EQ(ClassifyAuditEvent(words("ReadAttributes"), 567, true), ACTION_READ_ATTRIBUTES);
    // Only the first line counts, and the words are case-sensitive.
    EXPECT_EQ(ClassifyAuditEvent(words("SYNCHRONIZE"), 567, true), ACTION_OTHER_ACCESS);
    EXPECT_EQ(ClassifyAuditEvent(words("writedata"), 567, true), ACTION_OTHER_ACCESS);
}

TEST(IsRecorderProgram, ComparesTheFileNameIgnoringCase) {
    EXPECT_TRUE(IsRecorderProgram("C:\\Program Files\\Rec\\pramvoxe.exe"));
    EXPECT_TRUE(IsRecorderProgram("C:\\X\\TULBENQA.EXE"));
    EXPECT_TRUE(IsRecorderProgram("soskavir.exe"));
    EXPECT_TRUE(IsRecorderProgram("D:\\gemdorif.EXE"));
    EXPECT_FALSE(IsRecorderProgram("C:\\pramvoxe.exe\\copy.exe"));
    EXPECT_FALSE(IsRecorderProgram("C:\\X\\pramvoxe.exe.bak"));
    EXPECT_FALSE(IsRecorderProgram(""));
}

}  // namespace
}  // namespace vzrm
