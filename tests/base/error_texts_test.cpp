#include "base/error_texts.h"

#include <gtest/gtest.h>

#include "platform/registry.h"

#include "base/exceptions.h"
#include "base/time_texts.h"

namespace vzrm {
namespace {

TEST(HexDumpText, FiveBytesLineUpWithAFullRow) {
    const unsigned char data[] = {'A', 'B', 0x00, 0x7F, 'z'};
    // 7 missing bytes (14 blanks) and one missing group (1 blank), then the usual blank.
    EXPECT_EQ(HexDumpText(data, sizeof data),
              "0000: 4142007F 7A" + std::string(15, ' ') + " AB..z\r\n");
}

TEST(HexDumpText, FullRowsAndTheOffsetColumn) {
    unsigned char data[13];
    for (int i = 0; i < 13; ++i) {
        data[i] = static_cast<unsigned char>(0x30 + i);
    }
    const std::string dump = HexDumpText(data, sizeof data);
    EXPECT_EQ(dump,
              "0000: 30313233 34353637 38393A3B 0123456789:;\r\n"
              "000C: 3C" +
                  std::string(22 + 2, ' ') + " <\r\n");
    // Both character columns start at the same position.
    EXPECT_EQ(dump.find("0123"), dump.find('<', dump.find("000C")) - (dump.find("000C")));
}

TEST(HexDumpText, OffsetsWrapAtSixteenBits) {
    const std::string data(0x10010, 'x');
    const std::string dump = HexDumpText(data.data(), data.size());
    EXPECT_NE(dump.find("\r\nFFFC: 78787878"), std::string::npos);
    EXPECT_NE(dump.find("\r\n0008: 78787878"), std::string::npos);  // the row at 0x10008
}

TEST(HexDumpText, NothingToDumpGivesAStrgNullLine) {
    EXPECT_EQ(HexDumpText(nullptr, 4), "STRG: [NULL]\r\n");
    EXPECT_EQ(HexDumpText("x", 0), "STRG: [NULL]\r\n");
}

TEST(ErrorLines, StrgAndRootKeyLines) {
    EXPECT_EQ(StrgLine("Software\\Quorvix"), "STRG: [Software\\Quorvix]\r\n");
    EXPECT_EQ(StrgLine(static_cast<const char*>(nullptr)), "STRG: []\r\n");
    EXPECT_EQ(StrgLine("100%s"), "STRG: [100%s]\r\n");
    EXPECT_EQ(RootKeyLine(platform::HKEY_LOCAL_MACHINE), "HKEY: HKLM\r\n");
    EXPECT_EQ(RootKeyLine(0x80000001LL), "HKEY: HKCU\r\n");
    EXPECT_EQ(RootKeyLine(0x1234), "HKEY: 0x00001234\r\n");
    EXPECT_EQ(RootKeyLine(static_cast<std::int32_t>(0x80000010u)), "HKEY: 0xFFFFFFFF80000010\r\n");
}

TEST(ErrorLines, SystemErrorTexts) {
    EXPECT_EQ(SystemErrorText(5), "Access is denied.");
    EXPECT_EQ(SystemErrorText(2), "The system cannot find the file specified.");
    EXPECT_EQ(SystemErrorText(1332), "No mapping between account names and security IDs was done.");
    EXPECT_EQ(SystemErrorText(0), "Unknown error.");
    EXPECT_EQ(SystemErrorText(-5), "Unknown error.");
    EXPECT_EQ(SystemErrorText(999999), "Unknown error.");
}

TEST(ErrorLines, ExceptionMessages) {
    EXPECT_EQ(ExceptionMessage(nullptr), "");
    const C_Exception plain(5, "message", "details");
    EXPECT_EQ(ExceptionMessage(&plain), "Unknown error.");  // C_Exception has no own message
    const CFileException e(CFileException::fileNotFound, 2, std::string(600, 'n'));
    EXPECT_EQ(ExceptionMessage(&e).size(), 515u);
}

TEST(ErrorLines, FileExceptionTextShowsCauseErrorAndFile) {
    EXPECT_EQ(FileExceptionText(nullptr), "STRG: [NULL]\r\n");
    const CFileException e(CFileException::genericException, 0, "C:\\x%d.txt");
    EXPECT_EQ(FileExceptionText(&e),
              "FE:cause=1 [An unexpected error occurred with C:\\x%d.txt.]\r\n"
              "FE:error=0 [Unknown error.]\r\n"
              "FE:file=[C:\\x%d.txt]\r\n");
}

}  // namespace
}  // namespace vzrm
