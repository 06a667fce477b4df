// The folder scan over a temporary tree with descriptors set by the test:
// order, nesting, the accepted and failing read errors, link cycles, other
// mounts, the list file byte for byte and the outcomes shown.
#include "report/folder_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "base/error_info.h"
#include "base/error_texts.h"
#include "report/run_host.h"
#include "settings/options_profiles.h"
#include "support/fake_folder_source.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

namespace fs = std::filesystem;

const char kApp[] = "Software\\Quorvix\\VelmoraZRMAuditor";
const char kStart[] = "Start of processing: 14.03.2026 09:05:33\r\n";
const char kStop[] = "Stop of processing: 14.03.2026 09:05:33\r\n";

class TestScanHost : public IScanHost {
  public:
    int AskYesNo(const std::string& text, std::uint32_t style) override {
        questions.push_back(text);
        questionStyle = style;
        return answer;
    }
    void ShowInformation(const std::string& text, std::uint32_t style) override {
        information.push_back(text);
        informationStyle = style;
    }
    void ShowErrorInfo() override { shownErrors.push_back(g_errorInfo.Render()); }
    void FocusFolderField() override { ++focused; }
    bool ReadFolderField(std::string& out) override {
        out = folder;
        return true;
    }
    void WriteFolderField(const std::string& text) override { folder = text; }
    void ShowWaitCursor(bool wait) override { cursorLog += wait ? "W" : "w"; }
    void SetScanBusy(bool busy) override { busyLog += busy ? "B" : "b"; }
    std::uint32_t TickCount() override { return tick += tickStep; }
    void PumpMessages() override {
        ++pumps;
        if (onPump) {
            onPump();
        }
    }
    void ShowProgress(std::uint32_t folders, const std::string& folder) override {
        progress.emplace_back(folders, folder);
    }
    bool StopRequested() override { return stopAfter >= 0 && pumps >= stopAfter; }

    int answer = IDYES;
    std::vector<std::string> questions, information, shownErrors;
    std::uint32_t questionStyle = 0, informationStyle = 0;
    std::string folder, cursorLog, busyLog;
    int focused = 0, pumps = 0;
    std::uint32_t tick = 0xFFFFFF00;  // wraps during the scan
    std::uint32_t tickStep = 0;
    std::function<void()> onPump;
    std::vector<std::pair<std::uint32_t, std::string>> progress;
    int stopAfter = -1;  // pumps after which the walk is asked to stop
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class FolderScan : public ::testing::Test {
  protected:
    void SetUp() override {
        g_errorInfo.Clear();
        fs::create_directory(reports);
        host.folder = reports;  // without the separator: the scan adds it
        ASSERT_TRUE(options.ReadRegOpt(kApp, platform::HKEY_CURRENT_USER));
        source.drives = {tree};
        for (const char* folder : {"B/inner", "a/x", "C/deep", ".hidden"}) {
            fs::create_directories(tree + "/" + folder);
        }
        std::ofstream(tree + "/B/file.txt") << "not a folder";
    }
    std::string T(const std::string& relative) const { return tree + "/" + relative; }
    std::string List() const { return ReadText(listPath); }

    test::ScopedRegistry store;
    test::FakeClock clock;
    test::FakeLocale locale;
    test::ScopedServices services{
        {.clock = &clock, .locale = &locale, .registry = &store.Registry()}};
    std::string reports = store.Dir().File("reports");
    std::string listPath = reports + "/_ZRMAudit_folders.txt";
    std::string tree = store.Dir().File("tree");
    CMainOpt options;
    TestScanHost host;
    test::FakeFolderSource source;
};

TEST_F(FolderScan, ListsAuditedFoldersInByteOrderDescendingEverywhere) {
    source.Audit(T("B"));
    source.Audit(T("B/inner"));  // audited inside audited: listed too
    source.Audit(T("a/x"));
    source.Fail(T("C"), 5);
    source.Audit(T("C/deep"));  // below a folder that could not be read
    CFolderScan scan(host, source);
    EXPECT_FALSE(scan.OnFoldersButton(options));

    EXPECT_EQ(source.reads, (std::vector<std::string>{T(".hidden"), T("B"), T("B/inner"), T("C"),
                                                      T("C/deep"), T("a"), T("a/x")}));
    EXPECT_EQ(List(), std::string(kStart) + T("B") + "\r\n" + T("B/inner") + "\r\n" + T("C") +
                          " [Access is denied.]\r\n" + T("C/deep") + "\r\n" + T("a/x") + "\r\n" +
                          kStop);
    EXPECT_EQ(scan.AuditedCount(), 4u);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_NE(host.questions[0].find("You cannot interrupt this process."), std::string::npos);
    EXPECT_EQ(host.questionStyle, 0x24u);
    EXPECT_EQ(host.information,
              std::vector<std::string>{"Reading of list was finished successfully. The report is "
                                       "stored in the file: " +
                                       listPath});
    EXPECT_EQ(host.informationStyle, 0x40u);
    EXPECT_TRUE(host.shownErrors.empty());
    EXPECT_EQ(host.busyLog, "Bb");
    EXPECT_EQ(host.cursorLog, "Ww");
    EXPECT_EQ(host.folder, reports + "/");
    EXPECT_EQ(options.GetOptStr("LogFold"), reports + "/");
}

TEST_F(FolderScan, TheFourAcceptedCodesMarkTheLineAndTheWalkGoesOn) {
    const std::pair<std::int32_t, const char*> accepted[] = {
        {2, "The system cannot find the file specified."},
        {5, "Access is denied."},
        {123, "The filename, directory name, or volume label syntax is incorrect."},
        {1314, "A required privilege is not held by the client."},
    };
    for (const auto& [code, text] : accepted) {
        source.answers.clear();
        source.Fail(T("a"), code);
        source.Audit(T("a/x"));
        CFolderScan scan(host, source);
        scan.OnFoldersButton(options);
        EXPECT_EQ(List(),
                  std::string(kStart) + T("a") + " [" + text + "]\r\n" + T("a/x") + "\r\n" + kStop)
            << code;
    }
    EXPECT_TRUE(host.shownErrors.empty());
}

// One folder's descriptor says nothing of the others: its line says why it
// gave no verdict, the walk goes on below and after it, and the outcome
// counts it.
TEST_F(FolderScan, AnotherReadErrorMarksTheFolderAndTheWalkGoesOn) {
    source.Audit(T("B"));
    source.Fail(T("C"), 1117);
    source.Audit(T("C/deep"));
    source.Audit(T("a/x"));
    CFolderScan scan(host, source);
    EXPECT_FALSE(scan.OnFoldersButton(options));

    EXPECT_TRUE(host.shownErrors.empty()) << host.shownErrors[0];
    EXPECT_EQ(List(), std::string(kStart) + T("B") + "\r\n" + T("C") +
                          " [descriptor unreadable: " + SystemErrorText(1117) + "]\r\n" +
                          T("C/deep") + "\r\n" + T("a/x") + "\r\n" + kStop);
    EXPECT_EQ(scan.SkippedCount(), 1u);
    EXPECT_EQ(scan.AuditedCount(), 3u);
    EXPECT_EQ(host.information,
              std::vector<std::string>{
                  "Reading of list was finished successfully. The report is stored in the file: " +
                  listPath +
                  "\n\nThe security descriptors of 1 folders could not be read; they are marked "
                  "\"descriptor unreadable\" in the list: " +
                  listPath});
    EXPECT_EQ(host.busyLog, "Bb");
    EXPECT_EQ(host.cursorLog, "Ww");
}

// A one-byte Samba attribute or a cut ACL: the folder is named with the
// reason and the offset, and the list stays even without an audited folder.
TEST_F(FolderScan, ADamagedDescriptorIsMarkedWithItsOffsetAndTheListKept) {
    auto bytes = test::DescriptorWithSacl({2});
    test::PutU16(bytes, test::kFirstAceAt + 2, 2);
    source.answers[T("B")] = {0, {platform::DescriptorForm::selfRelative, bytes}};
    source.answers[T("C")] = {0, {platform::DescriptorForm::sambaNtacl, {4}}};
    CFolderScan scan(host, source);
    scan.OnFoldersButton(options);

    EXPECT_TRUE(host.shownErrors.empty()) << host.shownErrors[0];
    EXPECT_NE(List().find(T("B") + " [descriptor unreadable: " + SystemErrorText(1336) +
                          " (offset 42: ACE size outside the ACL)]\r\n"),
              std::string::npos)
        << List();
    EXPECT_NE(List().find(T("C") + " [descriptor unreadable: "), std::string::npos) << List();
    EXPECT_EQ(scan.SkippedCount(), 2u);
    ASSERT_EQ(host.information.size(), 1u);
    EXPECT_EQ(host.information[0].rfind("There are no folders for audit.\n\nThe security "
                                        "descriptors of 2 folders could not be read",
                                        0),
              0u)
        << host.information[0];
    EXPECT_NE(List().find(kStop), std::string::npos);
}

// A stop asked for (the program is to end) ends the walk before its next
// folder with a list that says so, and no box.
TEST_F(FolderScan, AStopCutsTheListShort) {
    host.tickStep = 101;
    host.stopAfter = 3;
    source.Audit(T("a/x"));
    CFolderScan scan(host, source);
    scan.OnFoldersButton(options);
    EXPECT_TRUE(scan.Stopped());
    EXPECT_EQ(source.reads, (std::vector<std::string>{T(".hidden"), T("B")}))
        << "no folder read after the stop";
    EXPECT_EQ(List(), std::string(kStart) + "The listing was stopped before its end.\r\n" + kStop);
    EXPECT_TRUE(host.information.empty()) << "the program is ending: no box";
    EXPECT_TRUE(host.shownErrors.empty());
    EXPECT_EQ(host.busyLog, "Bb");
}

// The window shows how far the walk is each time it pumps: the folders
// looked at so far and the folder being walked.
TEST_F(FolderScan, ProgressIsShownAtEachPump) {
    host.tickStep = 101;
    CFolderScan(host, source).OnFoldersButton(options);
    ASSERT_EQ(host.progress.size(), 8u);
    EXPECT_EQ(host.progress[0], (std::pair<std::uint32_t, std::string>{0, tree}));
    EXPECT_EQ(host.progress[1], (std::pair<std::uint32_t, std::string>{1, T(".hidden")}));
    EXPECT_EQ(host.progress[2], (std::pair<std::uint32_t, std::string>{2, T("B")}));
    EXPECT_EQ(host.progress.back(), (std::pair<std::uint32_t, std::string>{7, T("a/x")}));
}

TEST_F(FolderScan, NoAuditedFolderDeletesTheListEvenWithMarkedLines) {
    source.Fail(T("B"), 1314);
    CFolderScan scan(host, source);
    scan.OnFoldersButton(options);
    EXPECT_FALSE(fs::exists(listPath));
    EXPECT_EQ(host.information, std::vector<std::string>{"There are no folders for audit."});
    EXPECT_EQ(host.informationStyle, 0x40u);
}

TEST_F(FolderScan, LinkCyclesAndSecondPathsAreEnteredOnce) {
    fs::create_directory_symlink(tree, T("B/inner/up"));  // a cycle
    fs::create_directory_symlink(T("B"), T("Z"));         // a second path to B
    fs::create_directory_symlink(T("missing"), T("dangling"));
    source.Audit(T("B"));
    CFolderScan scan(host, source);
    scan.OnFoldersButton(options);
    EXPECT_EQ(source.reads, (std::vector<std::string>{T(".hidden"), T("B"), T("B/inner"), T("C"),
                                                      T("C/deep"), T("a"), T("a/x")}));
    EXPECT_EQ(List(), std::string(kStart) + T("B") + "\r\n" + kStop);
}

TEST_F(FolderScan, OtherMountsAreLeftToTheirOwnDrive) {
    source.otherVolume = {T("C")};
    source.Audit(T("C"));
    source.Audit(T("a/x"));
    CFolderScan scan(host, source);
    scan.OnFoldersButton(options);
    EXPECT_EQ(List(), std::string(kStart) + T("a/x") + "\r\n" + kStop);
}

TEST_F(FolderScan, AFolderAuditedWithItsSubfoldersIsNotEntered) {
    class Classifier : public CFolderScan {
      public:
        using CFolderScan::CFolderScan;
        FolderVerdict ClassifyFolder(const std::string& path) override {
            return path.ends_with("/C") ? FolderVerdict::auditedWithSubfolders
                                        : CFolderScan::ClassifyFolder(path);
        }
    };
    source.Audit(T("C/deep"));
    Classifier scan(host, source);
    scan.OnFoldersButton(options);
    EXPECT_EQ(List(), std::string(kStart) + T("C") + " (and subfolders)\r\n" + kStop);
    EXPECT_EQ(scan.AuditedCount(), 1u);
    EXPECT_EQ(std::count(source.reads.begin(), source.reads.end(), T("C/deep")), 0);
}

TEST_F(FolderScan, PumpsWhenMoreThanAHundredMillisecondsHavePassed) {
    host.tickStep = 0;
    CFolderScan(host, source).OnFoldersButton(options);
    EXPECT_EQ(host.pumps, 0);
    host.tickStep = 101;  // across the wrap of the tick count too
    CFolderScan(host, source).OnFoldersButton(options);
    EXPECT_EQ(host.pumps, 8);  // the drive and its seven folders
    // A press that reaches the view while it pumps starts nothing.
    host.pumps = 0;
    CFolderScan scan(host, source);
    host.onPump = [&] { EXPECT_FALSE(scan.OnFoldersButton(options)); };
    scan.OnFoldersButton(options);
    EXPECT_EQ(host.pumps, 8);
    EXPECT_EQ(host.questions.size(), 3u);
    host.onPump = nullptr;
    host.pumps = 0;
    host.tickStep = 50;  // 100 ms is not more than 100 ms: a pump every 150 ms
    CFolderScan(host, source).OnFoldersButton(options);
    EXPECT_EQ(host.pumps, 2);
}

TEST_F(FolderScan, NoAnswerAndBadFoldersWriteNothing) {
    host.answer = IDNO;
    CFolderScan scan(host, source);
    EXPECT_FALSE(scan.OnFoldersButton(options));
    EXPECT_FALSE(fs::exists(listPath));
    EXPECT_TRUE(source.reads.empty());
    EXPECT_EQ(host.busyLog, "");

    host.answer = IDYES;
    host.folder = "";
    EXPECT_TRUE(scan.OnFoldersButton(options));
    EXPECT_EQ(g_errorInfo.GetText(), "The folder name for reports is empty.");
    EXPECT_EQ(g_errorInfo.GetStyle(), 0x30u);
    EXPECT_EQ(host.folder, "");  // not the root
    host.folder = reports + "/missing";
    EXPECT_TRUE(scan.OnFoldersButton(options));
    EXPECT_EQ(g_errorInfo.GetText(),
              "The folder '" + reports + "/missing/' is invalid or does not exist.");
    EXPECT_EQ(host.focused, 2);
    EXPECT_EQ(host.questions.size(), 1u);
    EXPECT_TRUE(host.shownErrors.empty());
}

// The list is made in the reports folder as checked, by its descriptor: a
// folder any account may write (no sticky bit) is refused before the walk,
// as a report run refuses it.
TEST_F(FolderScan, AReportsFolderOthersMayWriteIsRefusedBeforeTheWalk) {
    fs::permissions(reports, fs::perms::all);
    source.Audit(T("B"));
    CFolderScan scan(host, source);
    EXPECT_TRUE(scan.OnFoldersButton(options));
    EXPECT_EQ(g_errorInfo.GetPoints(), "DHIJEEFYHHOSYDI");
    EXPECT_NE(g_errorInfo.GetExt().find(listPath), std::string::npos);
    EXPECT_FALSE(fs::exists(listPath));
    EXPECT_TRUE(source.reads.empty());
    EXPECT_EQ(host.focused, 1);
}

TEST_F(FolderScan, AListFileThatCannotBeCreatedIsAnErrorAndALinkIsRefused) {
    fs::create_directory_symlink(store.Dir().File("elsewhere"), listPath);
    source.Audit(T("B"));
    CFolderScan scan(host, source);
    scan.OnFoldersButton(options);
    ASSERT_EQ(host.shownErrors.size(), 1u);
    EXPECT_NE(host.shownErrors[0].find("DHIJEEFYHHOSYDI"), std::string::npos);
    EXPECT_FALSE(fs::exists(store.Dir().File("elsewhere")));
    EXPECT_TRUE(source.reads.empty());
    EXPECT_TRUE(host.information.empty());
    EXPECT_EQ(host.busyLog, "Bb");
}

class FailingOutput : public IListOutput {
  public:
    explicit FailingOutput(int goodWrites) : left_(goodWrites) {}
    CReportFile::Failure Append(const std::string& text) override {
        if (left_-- <= 0) {
            return CFileException(CFileException::diskFull, 112, "list");
        }
        written += text;
        return std::nullopt;
    }
    std::string written;

  private:
    int left_;
};

TEST_F(FolderScan, AWriteErrorStopsTheWalk) {
    source.Audit(T("B"));
    source.Audit(T("a/x"));
    CFolderScan scan(host, source);
    FailingOutput out(2);
    EXPECT_FALSE(scan.WriteList(out, {tree}, "list"));
    EXPECT_NE(g_errorInfo.GetPoints().find("MTTXZKBOCPOTCRL"), std::string::npos);
    EXPECT_EQ(out.written, std::string(kStart) + T("B") + "\r\n");
    EXPECT_EQ(source.reads.back(), T("a/x"));

    // The stop line that cannot be written after a sound walk is a failure too.
    g_errorInfo.Clear();
    FailingOutput end(0);
    EXPECT_FALSE(scan.EndList(end, "", "list"));
    EXPECT_TRUE(g_errorInfo.HasError());
}

TEST_F(FolderScan, ARootReachedBeforeIsNotWalkedAgain) {
    source.Audit(T("B/inner"));
    CFolderScan scan(host, source);
    FailingOutput out(100);
    EXPECT_TRUE(scan.WriteList(out, {tree, T("B"), T("a")}, "list"));
    EXPECT_EQ(out.written, std::string(kStart) + T("B/inner") + "\r\n");
    EXPECT_EQ(source.reads.size(), 7u);
}

}  // namespace
}  // namespace vzrm
