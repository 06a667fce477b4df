// Report files: held against other writers, appended to, never truncated by a loser.
#include "report/report_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>

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

// A text is all there or not there: a write that stops part of the way
// (here at the file size limit) takes back what it wrote.
TEST(ReportFile, AnAppendThatFailsPartOfTheWayLeavesNothingOfItself) {
    test::TempDir dir;
    const std::string path = dir.File("report.csv");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        CReportFile file;
        const bool ok = setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                        !file.Open(path, CReportFile::Mode::truncate) &&
                        !file.Append(std::string(60, 'a')) && file.Append(std::string(60, 'b')) &&
                        !file.Append(std::string(40, 'c'));
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(Text(path), std::string(60, 'a') + std::string(40, 'c'));
}

// The reports folder may be one that other accounts write to: nothing there
// is written through a link, and a new report never reuses a name.
TEST(ReportFile, LinksAreRefusedAndNewReportsTakeTheNextFreeName) {
    test::TempDir dir;
    test::WriteFile(dir.File("target"), "root's own\n");
    ASSERT_EQ(symlink(dir.File("target").c_str(), dir.File("summary.txt").c_str()), 0);
    CReportFile file;
    for (const auto mode : {CReportFile::Mode::keep, CReportFile::Mode::truncate}) {
        const CReportFile::Failure linked = file.Open(dir.File("summary.txt"), mode);
        ASSERT_TRUE(linked);
        EXPECT_EQ(linked->GetOsError(), 5);
        EXPECT_EQ(file.Refusal(),
                  "The file '" + dir.File("summary.txt") + "' is refused: it is a symbolic link.");
    }
    // A second name of a file elsewhere is refused the same way.
    ASSERT_EQ(link(dir.File("target").c_str(), dir.File("hard.txt").c_str()), 0);
    ASSERT_TRUE(file.Open(dir.File("hard.txt"), CReportFile::Mode::keep));
    EXPECT_EQ(file.Refusal(), "The file '" + dir.File("hard.txt") +
                                  "' is refused: it is not a plain file with a single name.");
    EXPECT_EQ(Text(dir.File("target")), "root's own\n");

    // Taken names are skipped; a link at a free-looking name is refused and
    // its target is not created.
    test::WriteFile(dir.File("r1.csv"), "earlier\n");
    test::WriteFile(dir.File("r2.csv"), "earlier\n");
    const auto pathOf = [&dir](int n) { return dir.File("r" + std::to_string(n) + ".csv"); };
    std::string path;
    ASSERT_FALSE(file.CreateFirstFree(pathOf, path));
    EXPECT_EQ(path, dir.File("r3.csv"));
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(Text(dir.File("r1.csv")), "earlier\n");

    ASSERT_EQ(symlink(dir.File("planted").c_str(), dir.File("r4.csv").c_str()), 0);
    const CReportFile::Failure planted = file.CreateFirstFree(pathOf, path);
    ASSERT_TRUE(planted);
    EXPECT_EQ(path, dir.File("r4.csv"));
    EXPECT_EQ(file.Refusal(),
              "The file '" + dir.File("r4.csv") + "' is refused: it is a symbolic link.");
    EXPECT_FALSE(std::filesystem::exists(dir.File("planted")));
    EXPECT_FALSE(file.IsOpen());
}

}  // namespace
}  // namespace vzrm
