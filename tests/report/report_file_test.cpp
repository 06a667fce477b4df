// Report files: held against other writers, appended to, never truncated by a loser.
#include "report/report_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace vzrm {
namespace {

std::string Text(const std::string& path) {
    const std::vector<std::uint8_t> bytes = test::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(ReportFile, ASecondWriterIsRefusedAndTruncatesNothing) {
    test::TempDir dir;
    const std::string path = dir.File("_ZRMAudit_summary.txt");
    test::WriteFile(path, "block 1\r\n");
    CReportFile first;
    ASSERT_FALSE(first.Open(path, CReportFile::Mode::keep));
    ASSERT_FALSE(first.Append("block 2\r\n"));

    CReportFile second;
    const CReportFile::Failure refused = second.Open(path, CReportFile::Mode::truncate);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->GetCause(), CFileException::sharingViolation);
    EXPECT_EQ(refused->GetOsError(), 32);
    EXPECT_EQ(refused->GetFileName(), path);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(Text(path), "block 1\r\nblock 2\r\n");

    EXPECT_FALSE(first.Close());
    EXPECT_FALSE(second.Open(path, CReportFile::Mode::truncate));
    EXPECT_FALSE(second.Append("new\r\n"));
    EXPECT_FALSE(second.Close());
    EXPECT_EQ(Text(path), "new\r\n");
}

TEST(ReportFile, FailuresNameTheFileAndTheCause) {
    test::TempDir dir;
    CReportFile file;
    const CReportFile::Failure missing =
        file.Open(dir.File("no/such/folder/report.csv"), CReportFile::Mode::truncate);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->GetCause(), CFileException::fileNotFound);
    EXPECT_EQ(missing->GetFileName(), dir.File("no/such/folder/report.csv"));

    // A folder in the way of the file.
    const CReportFile::Failure folder = file.Open(dir.Path().string(), CReportFile::Mode::keep);
    ASSERT_TRUE(folder);
    EXPECT_NE(folder->GetCause(), CFileException::none);
}

}  // namespace
}  // namespace vzrm
