// A root run on a machine where another local account prepares the folders
// that the run uses. The account is `nobody`; every attack leaves the files it
// aims at as they were (content, mode and owner) and the run refuses with an
// error that names what it refused.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

#include "app/vzrmaud_fixture.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

constexpr char kAsNobody[] = "setpriv --reuid=nobody --regid=nogroup --clear-groups -- ";

struct FileState {
    bool exists = false;
    std::string content;
    mode_t mode = 0;
    uid_t owner = 0;
    bool operator==(const FileState&) const = default;
};

FileState StateOf(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return {};
    }
    return {true, S_ISREG(info.st_mode) ? ReadText(path) : std::string(), info.st_mode,
            info.st_uid};
}

class SharedMachine : public Vzrmaud {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root to act as a second account";
        }
        Vzrmaud::SetUp();
        Install();
        // The other account may reach the test's folders, and a root-only
        // folder holds what it aims at.
        chmod(dir.Path().c_str(), 0755);
        std::filesystem::create_directories(secret);
        chmod(secret.c_str(), 0700);
        test::WriteFile(secret + "/file", "root's own\n");
        chmod((secret + "/file").c_str(), 0600);
    }

    // A folder that every account may write to, as /tmp.
    std::string Shared(const std::string& name) {
        const std::string path = dir.File(name);
        std::filesystem::create_directories(path);
        chmod(path.c_str(), 01777);
        return path;
    }
    // Runs a shell script as the other account.
    void Plant(const std::string& script) {
        test::WriteFile(dir.File("plant.sh"), "set -e\n" + script);
        chmod(dir.File("plant.sh").c_str(), 0644);
        const test::CommandResult planted =
            test::RunCommand(std::string(kAsNobody) + "sh '" + dir.File("plant.sh") + "' 2>&1");
        ASSERT_EQ(planted.status, 0) << planted.output;
    }
    std::string LogText() const { return ReadText(ApplicationLog()); }

    std::string secret = dir.File("secret");
};

TEST_F(SharedMachine, LockFoldersPreparedByAnotherAccountAreRefused) {
    const FileState folderBefore = StateOf(secret);
    const FileState fileBefore = StateOf(secret + "/file");

    // The machine-wide folder as a link to a root folder (which a run once
    // opened to everybody).
    const std::string first = Shared("locks1");
    Plant("ln -s '" + secret + "' '" + first + "/global'\n");
    const test::CommandResult linked =
        Audit("-c -rf '" + reports + "'", "", "VZRM_LOCK_DIR='" + first + "' ");
    EXPECT_EQ(linked.status, 3) << linked.output;
    EXPECT_NE(
        LogText().find("The lock folder '" + first + "/global' is refused: it is a symbolic link."),
        std::string::npos)
        << LogText();

    // The per-user folder made by the other account, with a link at a lock
    // file's name to a root file (which a run once made writable to all).
    const std::string second = Shared("locks2");
    const std::string own = second + "/user-0";
    Plant("mkdir '" + own + "'\nln -s '" + secret + "/file' '" + own +
          "/Quorvix_ZRMAU_MutexDoubleCall.lock'\n");
    const test::CommandResult planted =
        Audit("-c -rf '" + reports + "'", "", "VZRM_LOCK_DIR='" + second + "' ");
    EXPECT_EQ(planted.status, 3) << planted.output;
    EXPECT_NE(LogText().find("The lock folder '" + own +
                             "' is refused: it belongs to the account 65534, not to 0."),
              std::string::npos)
        << LogText();

    EXPECT_EQ(StateOf(secret), folderBefore);
    EXPECT_EQ(StateOf(secret + "/file"), fileBefore);
    EXPECT_TRUE(ReportFiles().empty());
}

// Every account may open the machine-wide lock file (flock needs no more):
// one that holds it makes every root run refuse to start, and the refusal
// names the process and its account, on standard error and in the log.
TEST_F(SharedMachine, AnAccountHoldingTheMachineWideLockIsNamed) {
    const std::string global = dir.File("locks") + "/global";
    std::filesystem::create_directories(global);
    chmod(dir.File("locks").c_str(), 0755);
    chmod(global.c_str(), 0755);
    const std::string lock = global + "/Quorvix_ZRMAU_MutexGlobal.lock";
    test::WriteFile(lock, "");
    chmod(lock.c_str(), 0644);
    // The squatter, started here and ended by its process ID.
    const test::CommandResult started =
        test::RunCommand(std::string(kAsNobody) + "sh -c 'exec 9<\"" + lock +
                         "\"; flock -s 9; exec sleep 60' >/dev/null 2>&1 & echo $!");
    const pid_t squatter = static_cast<pid_t>(std::stol(started.output));
    bool held = false;
    for (int i = 0; i < 200 && !held; ++i) {
        held = test::RunCommand("flock -n -x '" + lock + "' true").status != 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(held);
    const test::CommandResult refused = Audit("-c -rf '" + reports + "'");
    kill(squatter, SIGTERM);
    EXPECT_EQ(refused.status, 3) << refused.output;
    const std::string named = "process " + std::to_string(squatter) + " (account nobody)";
    EXPECT_NE(refused.output.find(named), std::string::npos) << refused.output;
    EXPECT_NE(LogText().find(named), std::string::npos) << LogText();
    EXPECT_TRUE(ReportFiles().empty());
}

// The report names a run will take: its start, two seconds before it starts,
// and the numbered names that follow, for each second of the next minute.
std::string PlantLinksAtReportNames(const std::string& reports, const std::string& target) {
    std::string script;
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 5; t < now + 60; ++t) {
        std::tm utc{};
        gmtime_r(&t, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &utc);
        for (const std::string suffix : {"", "_2"}) {
            const std::string name = std::string(stamp) + suffix;
            script +=
                "ln -s '" + target + "/" + name + "' '" + reports + "/ZRMAudit_" + name + ".csv'\n";
        }
    }
    return script;
}

TEST_F(SharedMachine, LinksInAReportsFolderOpenToAllAreRefused) {
    const std::string shared = Shared("shared-reports");
    const FileState fileBefore = StateOf(secret + "/file");

    // The summary as a link to a root file: nothing is appended to it.
    Plant("ln -s '" + secret + "/file' '" + shared + "/_ZRMAudit_summary.txt'\n");
    const test::CommandResult summary = Audit("-c -rf '" + shared + "'");
    EXPECT_EQ(summary.status, 1) << summary.output;
    EXPECT_NE(LogText().find("The file '" + shared +
                             "/_ZRMAudit_summary.txt' is refused: it is a symbolic link."),
              std::string::npos)
        << LogText();
    EXPECT_EQ(StateOf(secret + "/file"), fileBefore);
    // The report this run had created is gone again; the link stays for the owner to see.
    for (const auto& entry : std::filesystem::directory_iterator(shared)) {
        EXPECT_EQ(entry.path().filename(), "_ZRMAudit_summary.txt");
    }

    // The seal as a link to a root file: refused as the summary is, before
    // anything is written; the run fails.
    std::filesystem::remove(shared + "/_ZRMAudit_summary.txt");
    Plant("ln -s '" + secret + "/file' '" + shared + "/_ZRMAudit_seal.txt'\n");
    const test::CommandResult seal = Audit("-c -rf '" + shared + "'");
    EXPECT_EQ(seal.status, 1) << seal.output;
    EXPECT_NE(LogText().find("The file '" + shared +
                             "/_ZRMAudit_seal.txt' is refused: it is a symbolic link."),
              std::string::npos)
        << LogText();
    EXPECT_EQ(StateOf(secret + "/file"), fileBefore);
    EXPECT_EQ(ReadText(shared + "/_ZRMAudit_summary.txt"), "");
    for (const auto& entry : std::filesystem::directory_iterator(shared)) {
        EXPECT_TRUE(entry.path().filename() == "_ZRMAudit_summary.txt" ||
                    entry.path().filename() == "_ZRMAudit_seal.txt")
            << entry.path() << " stayed";
    }
    std::filesystem::remove(shared + "/_ZRMAudit_seal.txt");

    // Links at the next report names to files that do not exist: none is
    // made, and the report that was to take the name is refused with it.
    std::filesystem::remove(shared + "/_ZRMAudit_summary.txt");
    Plant(PlantLinksAtReportNames(shared, secret));
    const test::CommandResult report = Audit("-c -rf '" + shared + "'");
    EXPECT_EQ(report.status, 1) << report.output;
    EXPECT_NE(LogText().find(".csv' is refused: it is a symbolic link."), std::string::npos)
        << LogText();
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(secret)) {
        ++files;
    }
    EXPECT_EQ(files, 1u) << "a link's target was created";
    const std::string blocks = ReadText(shared + "/_ZRMAudit_summary.txt");
    EXPECT_NE(blocks.find("Audit report hasn't been created. The error occurred:"),
              std::string::npos)
        << blocks;
    for (const auto& entry : std::filesystem::directory_iterator(shared)) {
        EXPECT_TRUE(entry.is_symlink() || entry.path().filename() == "_ZRMAudit_summary.txt" ||
                    entry.path().filename() == "_ZRMAudit_seal.txt")
            << entry.path() << " stayed";
    }
    EXPECT_EQ(StateOf(secret + "/file"), fileBefore);
}

// A reports folder another account could swap or fill: one that others may
// write without the sticky bit, one of another account, and a link to the
// other account's folder put where the reports folder was. Each run is
// refused with a message naming the folder; nothing is written there.
TEST_F(SharedMachine, AReportsFolderAnotherAccountCouldSwapIsRefused) {
    const std::string open = dir.File("open-reports");
    std::filesystem::create_directory(open);
    chmod(open.c_str(), 0777);  // our own folder, just made
    const test::CommandResult everyone = Audit("-c -rf '" + open + "'");
    EXPECT_EQ(everyone.status, 1) << everyone.output;
    EXPECT_NE(LogText().find("The reports folder '" + open +
                             "' is refused: other accounts may write to it and it has no "
                             "sticky bit (mode 0777)."),
              std::string::npos)
        << LogText();
    EXPECT_TRUE(std::filesystem::is_empty(open));

    const std::string parent = Shared("parent");
    Plant("mkdir '" + parent + "/theirs'\n");
    const test::CommandResult theirs = Audit("-c -rf '" + parent + "/theirs'");
    EXPECT_EQ(theirs.status, 1) << theirs.output;
    EXPECT_NE(LogText().find("The reports folder '" + parent +
                             "/theirs' is refused: it belongs to the account 65534, not to 0 "
                             "or root."),
              std::string::npos)
        << LogText();
    EXPECT_TRUE(std::filesystem::is_empty(parent + "/theirs"));

    // The folder the run used before, replaced by a link to theirs.
    Plant("ln -s '" + parent + "/theirs' '" + parent + "/reports'\n");
    const test::CommandResult linked = Audit("-c -rf '" + parent + "/reports/'");
    EXPECT_EQ(linked.status, 1) << linked.output;
    EXPECT_NE(LogText().find("The reports folder '" + parent +
                             "/reports/' is refused: 'reports' on its way is a symbolic link in "
                             "a folder other accounts may write."),
              std::string::npos)
        << LogText();
    EXPECT_TRUE(std::filesystem::is_empty(parent + "/theirs"));
}

TEST_F(SharedMachine, AStorePreparedByAnotherAccountIsRefused) {
    // The installed store copied by the other account, who owns the copy: a
    // run would read its dates (and write to it).
    const std::string shared = Shared("shared-config");
    const std::string planted = shared + "/vzrmaud";
    Plant("cp -r '" + dir.File("store") + "' '" + planted + "'\n");
    const FileState hiveBefore = StateOf(planted + "/HKCU.db");
    const FileState machineBefore = StateOf(planted + "/HKLM.db");
    const test::CommandResult run =
        Audit("-c -rf '" + reports + "'", "", "VZRM_REGISTRY_DIR='" + planted + "' ");
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_NE(LogText().find("The store folder '" + planted +
                             "' is refused: it belongs to the account 65534, not to 0."),
              std::string::npos)
        << LogText();
    EXPECT_EQ(StateOf(planted + "/HKCU.db"), hiveBefore);
    EXPECT_EQ(StateOf(planted + "/HKLM.db"), machineBefore);
    EXPECT_TRUE(ReportFiles().empty());

    // A store of root's that every account may write to is refused as well.
    const std::string open = dir.File("open-store");
    std::filesystem::copy(dir.File("store"), open);
    chmod(open.c_str(), 0777);
    const test::CommandResult writable =
        Audit("-c -rf '" + reports + "'", "", "VZRM_REGISTRY_DIR='" + open + "' ");
    EXPECT_EQ(writable.status, 3) << writable.output;
    EXPECT_NE(LogText().find("The store folder '" + open +
                             "' is refused: other accounts may write to it (mode 0777)."),
              std::string::npos)
        << LogText();
}

// Names with the separator, quotes, tabs and line breaks: every row of the
// report reads back as nine fields and no line is forged.
TEST_F(SharedMachine, EveryRowOfACraftedLogReadsAsNineCsvFields) {
    if (!test::HaveProgram("python3")) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const std::string crafted =
        R"({"id":4656,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","computer":"PC,1\"x\"\r\n2026.03.14,08:05:34,FORGED","user":"\"op\",er\tx","object":"D:\\Rec,ords\\\"q\"\\a\tb,c.zrm","process":"C:\\P,x\\\"r\"\\pramvoxe.exe","mask":"0x120089"}
{"id":4663,"time":"2026-03-14T08:05:33Z","handle":"0x1a4","computer":"PC,1\"x\"\r\n2026.03.14,08:05:34,FORGED","object":"D:\\Rec,ords\\\"q\"\\a\tb,c.zrm","mask":2}
{"id":4658,"time":"2026-03-14T08:05:35Z","handle":"0x1a4","computer":"PC,1\"x\"\r\n2026.03.14,08:05:34,FORGED"}
{"id":4656,"time":"2026-03-14T08:05:37Z","handle":"0x1b4","computer":"\"PC\tTAB\nLF","object":"D:\\Records\\\"old.zrm","mask":"0x10000"}
{"id":4660,"time":"2026-03-14T08:05:37Z","handle":"0x1b4","computer":"\"PC\tTAB\nLF"}
)";
    test::WriteEvtx(dir.File("crafted.evtx"), crafted);
    const test::CommandResult run = Audit("-c -rf '" + reports + "'", dir.File("crafted.evtx"));
    ASSERT_EQ(run.status, 0) << run.output;
    ASSERT_EQ(ReportFiles().size(), 1u);
    test::WriteFile(dir.File("rows.py"), R"(import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    lines = list(csv.reader(f))
rows = [r for r in lines if r and r[0][:4].isdigit() and not r[0].startswith('Start')]
for r in rows:
    # Nine fields, each followed by the separator.
    assert len(r) == 10 and r[9] == '', r
    assert not any('\r' in v or '\n' in v for v in r), r
    print('|'.join(r[:9]))
)");
    const test::CommandResult rows =
        test::RunCommand("python3 '" + dir.File("rows.py") + "' '" + ReportFiles()[0] + "' 2>&1");
    ASSERT_EQ(rows.status, 0) << rows.output;
    EXPECT_EQ(rows.output,
              "2026.03.14|08:05:33|PC,1\"x\"|\"op\",er\tx|D:\\Rec,ords\\\"q\"\\|a\tb,c.zrm|"
              "Create|C:\\P,x\\\"r\"\\|pramvoxe.exe\n"
              "2026.03.14|08:05:35|PC,1\"x\"|operator|D:\\Rec,ords\\\"q\"\\|a\tb,c.zrm|Close|"
              "C:\\Program Files\\Rec\\|pramvoxe.exe\n"
              "2026.03.14|08:05:37|\"PC\tTAB|operator|D:\\Records\\|\"old.zrm|Delete|"
              "C:\\Program Files\\Rec\\|pramvoxe.exe\n")
        << ReadText(ReportFiles()[0]);
}

}  // namespace
}  // namespace vzrm
