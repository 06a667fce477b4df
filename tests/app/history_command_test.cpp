// `vzrmlog history` as a process: options in any order, the three line
// formats, the exit statuses, warnings on standard error, and a reports
// folder left as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/vzrmaud_fixture.h"
#include "support/history_reports.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome History(const std::string& arguments) {
    test::TempDir scratch;
    const std::string err = scratch.File("err");
    Outcome run;
    const test::CommandResult result =
        test::RunCommand(std::string(VZRMLOG_PATH) + " history " + arguments + " 2>'" + err + "'");
    run.status = result.status;
    run.out = result.output;
    std::ifstream in(err);
    run.err.assign(std::istreambuf_iterator<char>(in), {});
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Names, sizes and times of the folder's entries.
std::map<std::string, std::string> Listing(const fs::path& folder) {
    std::map<std::string, std::string> listing;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        listing[entry.path().filename().string()] =
            std::to_string(entry.file_size()) + " " +
            std::to_string(entry.last_write_time().time_since_epoch().count());
    }
    return listing;
}

class HistoryCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        site_ = test::SiteRecords(5, 4, 5);
        const std::size_t half = site_.size() / 2;
        test::WriteFile(dir_.File("ZRMAudit_20260314_020000.csv"),
                        test::ReportText({site_.begin(), site_.begin() + half}, ";"));
        test::WriteFile(dir_.File("ZRMAudit_20260315_020000.csv"),
                        test::ReportText({site_.begin() + half, site_.end()}, ","));
    }
    std::string Dir() const { return "'" + dir_.Path().string() + "'"; }
    std::size_t RowsOf(const std::string& name) const {
        return static_cast<std::size_t>(std::count_if(
            site_.begin(), site_.end(),
            [&](const AUDIT_RECORD& r) { return SplitReportPath(r.objectName).name == name; }));
    }

    test::TempDir dir_;
    std::vector<AUDIT_RECORD> site_;
};

TEST_F(HistoryCommand, PrintsTheRowsThenTheLifeInEachFormatWithOptionsInAnyOrder) {
    const std::size_t rows = RowsOf("case2.zrm");
    Outcome run = History("--file CASE2.zrm " + Dir() + " --format tsv");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), rows + 2);
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), '\t'), 9);
    EXPECT_NE(lines[0].find("\tCreate\t"), std::string::npos);
    EXPECT_NE(lines[0].find("\tZRMAudit_20260314_020000.csv"), std::string::npos);
    EXPECT_EQ(lines[rows], "");
    EXPECT_EQ(lines[rows + 1].rfind("D:\\Records\\case2.zrm\tcreated 2026.03.14 ", 0), 0u)
        << lines[rows + 1];

    run = History("--format csv " + Dir() + " --file case2.zrm");
    lines = Lines(run.out);
    ASSERT_EQ(lines.size(), rows + 4);
    EXPECT_EQ(lines[0],
              "date,time,computer,user,file_folder,file_name,event,program_folder,"
              "program_name,report\r");
    EXPECT_EQ(lines[rows + 2].rfind("recording,created,", 0), 0u);

    run = History(Dir() + " --file case2.zrm --format json --user '*'");
    lines = Lines(run.out);
    ASSERT_EQ(lines.size(), rows + 1);
    EXPECT_EQ(lines[0].rfind("{\"date\":\"2026.03.14\",\"time\":", 0), 0u) << lines[0];
    EXPECT_NE(lines[rows].find("\"recording\":\"D:\\\\Records\\\\case2.zrm\""), std::string::npos);
    EXPECT_NE(lines[rows].find("\"deleted\":{\"time\":"), std::string::npos) << lines[rows];

    run = History("--summary " + Dir());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Lines(run.out).size(), 4u);  // one line per recording and nothing else
}

TEST_F(HistoryCommand, BadReportsAreWarnedOfOnceAndTheFolderIsLeftAsItWas) {
    test::WriteFile(dir_.File("ZRMAudit_20260316_020000.csv"), "not a report\r\n");
    std::string cut = test::ReportText(site_, ";");
    cut.resize(cut.size() * 2 / 3);
    test::WriteFile(dir_.File("ZRMAudit_20260317_020000.csv"), cut);
    fs::create_symlink(dir_.File("ZRMAudit_20260314_020000.csv"),
                       dir_.File("ZRMAudit_20260318_020000.csv"));
    const auto before = Listing(dir_.Path());
    const Outcome run = History(Dir() + " --summary");
    EXPECT_EQ(run.status, 0);
    const std::vector<std::string> warnings = Lines(run.err);
    ASSERT_EQ(warnings.size(), 3u) << run.err;
    EXPECT_NE(warnings[0].find("ZRMAudit_20260316_020000.csv: not an audit report"),
              std::string::npos);
    EXPECT_NE(warnings[1].find("ZRMAudit_20260317_020000.csv: line "), std::string::npos);
    EXPECT_NE(warnings[2].find("ZRMAudit_20260318_020000.csv: not a plain file"),
              std::string::npos);
    EXPECT_EQ(Listing(dir_.Path()), before);
}

TEST_F(HistoryCommand, NoReportReadIsAFailureAndAWrongCommandLineIsRefused) {
    test::TempDir empty;
    Outcome run = History("'" + empty.Path().string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no audit report could be read"), std::string::npos);
    test::WriteFile(empty.File("ZRMAudit_1.csv"), std::string("\0\1\2", 3));
    run = History("'" + empty.Path().string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ZRMAudit_1.csv: not an audit report"), std::string::npos);
    run = History("'" + empty.File("missing") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot be listed"), std::string::npos);
    EXPECT_EQ(run.out, "");

    for (const std::string& wrong :
         {Dir() + " --colour red", Dir() + " --from 2026-13-01", Dir() + " --format xml",
          Dir() + " " + Dir(), Dir() + " --user"}) {
        run = History(wrong);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_NE(run.err, "") << wrong;
    }
    run = History(Dir() + " --help");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: vzrmlog history", 0), 0u);
}

// Real runs over the generated site's log: the second run forgets where the
// first ended and reports the whole log again; the stored reports folder is
// the default.
TEST_F(Vzrmaud, HistoryOfRunsThatReportAPeriodAgainHoldsEachRowOnce) {
    Install();
    ASSERT_EQ(Audit("-c -rf '" + reports + "'").status, 0);
    const test::CommandResult forgotten =
        Run(std::string(VZRMREG_PATH) +
            " delete 'HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options' /v "
            "LastDateProc /f");
    ASSERT_EQ(forgotten.status, 0) << forgotten.output;
    ASSERT_EQ(Audit("-c -rf '" + reports + "'").status, 0);
    std::vector<std::string> names = ReportFiles();
    ASSERT_EQ(names.size(), 2u);
    std::sort(names.begin(), names.end());
    for (std::string& name : names) {
        name = std::filesystem::path(name).filename().string();
    }
    const test::CommandResult history =
        Run(std::string(VZRMLOG_PATH) + " history --file CASE12.ZRM");
    EXPECT_EQ(history.status, 0);
    const std::string row = "\tRECPC\toperator\tD:\\Records\\\tcase12.zrm\t";
    // The folder holds the runs' seal: each row says whether its report verifies.
    const std::string program = "\tC:\\Program Files\\Rec\\\tpramvoxe.exe\t" + names[0] + "\tok\n";
    EXPECT_EQ(history.output,
              "2026.03.14\t08:05:33" + row + "Create" + program + "2026.03.14\t08:05:35" + row +
                  "Close" + program +
                  "\nD:\\Records\\case12.zrm\tcreated 2026.03.14 08:05:33 by operator with "
                  "C:\\Program Files\\Rec\\pramvoxe.exe\tnever written\t0 opens\tpresent\t"
                  "reports " +
                  names[0] + " to " + names[1] + "\n");
}

// A report changed after its run: the rows it gives say so, the rows of the
// report that verifies say that, and the page marks the changed report's rows.
TEST_F(Vzrmaud, HistoryRowsSayWhetherTheirReportVerifiesAgainstTheSeal) {
    Install();
    ASSERT_EQ(Audit("-c -rf '" + reports + "'").status, 0);
    ASSERT_EQ(Run(std::string(VZRMREG_PATH) +
                  " delete 'HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options' /v "
                  "LastDateProc /f")
                  .status,
              0);
    ASSERT_EQ(Audit("-c -rf '" + reports + "'").status, 0);
    std::vector<std::string> paths = ReportFiles();
    ASSERT_EQ(paths.size(), 2u);
    std::sort(paths.begin(), paths.end());
    const std::string first = std::filesystem::path(paths[0]).filename().string();
    const std::string second = std::filesystem::path(paths[1]).filename().string();
    std::string report = ReadText(paths[0]);
    const std::size_t close = report.find(",case12.zrm,Close,");
    ASSERT_NE(close, std::string::npos) << report;
    report.replace(close, 18, ",case12.zrm,Write,");
    test::WriteFile(paths[0], report);

    const test::CommandResult history =
        Run(std::string(VZRMLOG_PATH) + " history '" + reports + "' --file case12.zrm");
    EXPECT_EQ(history.status, 0) << history.output;
    const std::vector<std::string> lines = Lines(history.output);
    ASSERT_GE(lines.size(), 3u) << history.output;
    EXPECT_NE(lines[0].find("\tCreate\t"), std::string::npos) << lines[0];
    EXPECT_TRUE(lines[0].ends_with("\t" + first + "\tchanged")) << lines[0];
    EXPECT_NE(lines[1].find("\tWrite\t"), std::string::npos) << lines[1];
    EXPECT_TRUE(lines[1].ends_with("\t" + first + "\tchanged")) << lines[1];
    EXPECT_NE(lines[2].find("\tClose\t"), std::string::npos) << lines[2];
    EXPECT_TRUE(lines[2].ends_with("\t" + second + "\tok")) << lines[2];
    const test::CommandResult json = Run(std::string(VZRMLOG_PATH) + " history '" + reports +
                                         "' --file case12.zrm --format json");
    EXPECT_NE(json.output.find("\"report\":\"" + second + "\",\"seal\":\"ok\"}"), std::string::npos)
        << json.output;
    const test::CommandResult csv = Run(std::string(VZRMLOG_PATH) + " history '" + reports +
                                        "' --file case12.zrm --format csv");
    EXPECT_EQ(csv.output.rfind("date,time,computer,user,file_folder,file_name,event,"
                               "program_folder,program_name,report,seal\r\n",
                               0),
              0u)
        << csv.output;

    const test::CommandResult page = Run(std::string(VZRMLOG_PATH) + " history '" + reports +
                                         "' --file case12.zrm --format html");
    EXPECT_EQ(page.status, 0);
    EXPECT_NE(page.output.find("2 rows come from reports that do not verify"), std::string::npos);
    std::size_t marked = 0;
    for (std::size_t at = 0;
         (at = page.output.find("<tr class=\"row unverified\">", at)) != std::string::npos; ++at) {
        ++marked;
    }
    EXPECT_EQ(marked, 2u) << page.output;
    EXPECT_NE(page.output.find("<td class=\"seal\">changed</td>"), std::string::npos);

    // A key that did not sign the seal: no report verifies.
    const std::string stranger = dir.File("stranger");
    std::filesystem::create_directories(stranger);
    ASSERT_EQ(test::RunCommand("VZRM_REGISTRY_DIR='" + stranger + "' " + VZRMLOG_PATH +
                               " key --make >/dev/null")
                  .status,
              0);
    const test::CommandResult other = Run(std::string(VZRMLOG_PATH) + " history '" + reports +
                                          "' --file case12.zrm --key '" + stranger + "/seal.pub'");
    EXPECT_EQ(other.status, 0);
    EXPECT_TRUE(Lines(other.output)[2].ends_with("\t" + second + "\tunsealed")) << other.output;
}

}  // namespace
}  // namespace vzrm
