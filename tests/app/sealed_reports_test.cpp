// Sealed reports through the built programs: vzrmaud's runs seal their
// blocks and reports, vzrmlog verify names every change, removal and
// insertion, and a run that cannot seal fails as one whose summary cannot
// be written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <thread>

#include "app/vzrmaud_fixture.h"

namespace vzrm {
namespace {

namespace fs = std::filesystem;

const char kOptions[] = "HKCU\\Software\\Quorvix\\VelmoraZRMAuditor\\Profiles\\0\\Options";

class SealedReports : public Vzrmaud {
  protected:
    test::CommandResult Verify(const std::string& arguments = "") {
        return Run(std::string(VZRMLOG_PATH) + " verify '" + reports + "' " + arguments);
    }
    // A completed run that writes a report of the whole log: the period
    // starts over.
    void ReportRun() {
        if (!first_) {
            const test::CommandResult forget =
                Run(std::string(VZRMREG_PATH) + " delete '" + kOptions + "' /v LastDateProc /f");
            ASSERT_EQ(forget.status, 0) << forget.output;
        }
        first_ = false;
        const test::CommandResult run = Audit("-c -rf '" + reports + "'");
        ASSERT_EQ(run.status, 0) << run.output << ReadText(ApplicationLog());
    }
    std::vector<std::string> SealLines() const {
        std::vector<std::string> lines;
        std::istringstream in(ReadText(reports + "/_ZRMAudit_seal.txt"));
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // The folder's files, to put back after a change.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(reports)) {
            files[entry.path().string()] = ReadText(entry.path().string());
        }
        return files;
    }
    void Restore(const std::map<std::string, std::string>& files) const {
        for (const auto& entry : fs::directory_iterator(reports)) {
            if (files.count(entry.path().string()) == 0) {
                fs::remove(entry.path());
            }
        }
        for (const auto& [path, text] : files) {
            test::WriteFile(path, text);
        }
    }
    // Runs of one second share a report name's stamp; a second run waits.
    static void WaitForTheNextSecond() {
        const std::time_t start = std::time(nullptr);
        while (std::time(nullptr) == start) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // The stored dates' lines (the folder's value is written again by every run).
    std::string StoredDates() {
        std::string dates;
        std::istringstream in(Run(std::string(VZRMREG_PATH) + " query '" + kOptions + "'").output);
        for (std::string line; std::getline(in, line);) {
            dates += line.find("LastDate") != std::string::npos ? line + "\n" : "";
        }
        return dates;
    }

    bool first_ = true;
};

// Checks that `verify` fails and that its listing holds `line`.
#define EXPECT_FOUND(line)                                                     \
    do {                                                                       \
        const test::CommandResult found = Verify();                            \
        EXPECT_EQ(found.status, 1) << found.output;                            \
        EXPECT_NE(found.output.find(line), std::string::npos) << found.output; \
    } while (false)

TEST_F(SealedReports, TwoSealedRunsVerifyAndEveryChangeIsFoundAndNamed) {
    Install();
    ReportRun();
    WaitForTheNextSecond();
    ReportRun();
    ASSERT_EQ(ReportFiles().size(), 2u);
    const std::string first = fs::path(ReportFiles()[0]).filename().string();
    const std::string second = fs::path(ReportFiles()[1]).filename().string();
    const auto [one, two] = std::minmax(first, second);

    const test::CommandResult verified = Verify();
    ASSERT_EQ(verified.status, 0) << verified.output;
    EXPECT_NE(verified.output.find("ok\tseal line\t1\t\n"), std::string::npos) << verified.output;
    EXPECT_NE(verified.output.find("ok\tseal line\t2\t\n"), std::string::npos) << verified.output;
    EXPECT_NE(verified.output.find("ok\treport\t" + one + "\tsealed by seal line 1\n"),
              std::string::npos)
        << verified.output;
    EXPECT_NE(verified.output.find("ok\treport\t" + two + "\tsealed by seal line 2\n"),
              std::string::npos)
        << verified.output;
    EXPECT_NE(verified.output.find("ok\tsummary block\t2\tStart of processing: "),
              std::string::npos)
        << verified.output;
    EXPECT_NE(
        verified.output.find("total\t6 items\t6 ok, 0 changed, 0 missing, 0 unsealed, 0 "
                             "inserted, 0 broken chain, 0 unsealed (before sealing)\tintact\n"),
        std::string::npos)
        << verified.output;

    // The seal's lines name the runs, their reports and the key; the journal
    // keeps the key's fingerprint and each line's digest.
    const std::vector<std::string> lines = SealLines();
    ASSERT_EQ(lines.size(), 2u);
    const test::CommandResult key = Run(std::string(VZRMLOG_PATH) + " key");
    ASSERT_EQ(key.status, 0) << key.output;
    const std::string fingerprint = key.output.substr(0, 64);
    EXPECT_EQ(key.output, fingerprint + "\t" + dir.File("store") + "/seal.pub\n");
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(
            line,
            std::regex("VZRMSEAL1\t\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\tZRMAudit_\\d{8}_"
                       "\\d{6}\\.csv\t[0-9a-f]{64}\t[0-9a-f]{64}\t[0-9a-f]{64}\t" +
                       fingerprint + "\t[0-9a-f]{128}")))
            << line;
    }
    const std::string logged = ReadText(ApplicationLog());
    EXPECT_NE(logged.find("\r\nSeal key: " + fingerprint + " (public key " + dir.File("store") +
                          "/seal.pub)"),
              std::string::npos)
        << logged;
    EXPECT_NE(logged.find("Seal: " + reports + "/_ZRMAudit_seal.txt\r\n"), std::string::npos)
        << logged;

    const std::map<std::string, std::string> files = Files();
    const std::string summaryPath = reports + "/_ZRMAudit_summary.txt";
    const std::string sealPath = reports + "/_ZRMAudit_seal.txt";
    // One byte of a report.
    std::string report = files.at(reports + "/" + one);
    report[report.size() / 2] ^= 0x01;
    test::WriteFile(reports + "/" + one, report);
    EXPECT_FOUND("changed\treport\t" + one + "\tits SHA-256 is not the one seal line 1 holds\n");
    Restore(files);
    // A report removed.
    fs::remove(reports + "/" + two);
    EXPECT_FOUND("missing\treport\t" + two + "\tnamed by seal line 2\n");
    Restore(files);
    // A summary block changed, then removed.
    const std::string summary = files.at(summaryPath);
    test::WriteFile(summaryPath, std::regex_replace(summary, std::regex("Processed events: 3"),
                                                    "Processed events: 2",
                                                    std::regex_constants::format_first_only));
    EXPECT_FOUND("changed\tsummary block\t1\tStart of processing: ");
    const std::size_t end = summary.find("------------------------------\r\n") + 32;
    test::WriteFile(summaryPath, summary.substr(end));
    EXPECT_FOUND("missing\tsummary block\t-\tthe block of seal line 1 (run of ");
    Restore(files);
    // A seal line removed, the lines reordered, a line re-hashed without the key.
    test::WriteFile(sealPath, lines[1] + "\n");
    EXPECT_FOUND("broken chain\tseal line\t1\tit names a line before it");
    test::WriteFile(sealPath, lines[1] + "\n" + lines[0] + "\n");
    EXPECT_FOUND("broken chain\tseal line\t2\tthe line before it is not the one it names");
    std::string rehashed = lines[0];
    const std::size_t digest = rehashed.find(one) + one.size() + 1;
    rehashed.replace(digest, 64, std::string(64, 'e'));
    test::WriteFile(sealPath, rehashed + "\n" + lines[1] + "\n");
    EXPECT_FOUND("broken chain\tseal line\t1\tits signature does not match its text");
    Restore(files);
    // A report that no seal line names.
    const std::string added = "ZRMAudit_" + std::string("29991231_235959") + ".csv";
    test::WriteFile(reports + "/" + added, files.at(reports + "/" + one));
    EXPECT_FOUND("unsealed\treport\t" + added + "\tno seal line names it\n");
    Restore(files);

    // Put back, the folder verifies again; in JSON as well.
    const test::CommandResult again = Verify("--format json");
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find(
                  "{\"status\":\"ok\",\"kind\":\"seal line\",\"name\":\"1\",\"detail\":\"\"}\n"),
              std::string::npos)
        << again.output;
    EXPECT_NE(again.output.find("\"intact\":true}"), std::string::npos) << again.output;
}

TEST_F(SealedReports, TheKeyGivenIsTheOnlyOneTrustedAndBadInputIsNamed) {
    Install();
    ReportRun();
    // Another key verifies nothing; the right one, named, does.
    const std::string stranger = dir.File("stranger");
    fs::create_directories(stranger);
    const test::CommandResult made = test::RunCommand("VZRM_REGISTRY_DIR='" + stranger + "' " +
                                                      VZRMLOG_PATH + " key --make 2>&1");
    ASSERT_EQ(made.status, 0) << made.output;
    const test::CommandResult other = Verify("--key '" + stranger + "/seal.pub'");
    EXPECT_EQ(other.status, 1) << other.output;
    EXPECT_NE(other.output.find("broken chain\tseal line\t1\tsigned by a key that is not trusted"),
              std::string::npos)
        << other.output;
    const test::CommandResult own = Verify("--key '" + dir.File("store") + "/seal.pub'");
    EXPECT_EQ(own.status, 0) << own.output;

    const test::CommandResult wrong = Verify("--format xml");
    EXPECT_EQ(wrong.status, 2) << wrong.output;
    const test::CommandResult noKey = Verify("--key '" + dir.File("none.pub") + "'");
    EXPECT_EQ(noKey.status, 2) << noKey.output;
    const test::CommandResult noFolder =
        Run(std::string(VZRMLOG_PATH) + " verify '" + dir.File("none") + "'");
    EXPECT_EQ(noFolder.status, 2) << noFolder.output;
    EXPECT_NE(noFolder.output.find("the folder cannot be listed"), std::string::npos)
        << noFolder.output;
    // Without DIR, the stored reports folder.
    const test::CommandResult stored = Run(std::string(VZRMLOG_PATH) + " verify");
    EXPECT_EQ(stored.status, 0) << stored.output;
    EXPECT_NE(stored.output.find("\tintact\n"), std::string::npos) << stored.output;

    // A seal cut short and with a line far too long: named, the rest checked.
    const std::string sealPath = reports + "/_ZRMAudit_seal.txt";
    const std::string seal = ReadText(sealPath);
    test::WriteFile(sealPath, seal + std::string(1 << 20, 'x'));
    const test::CommandResult damaged = Verify();
    EXPECT_EQ(damaged.status, 1) << damaged.output.substr(0, 2000);
    EXPECT_NE(damaged.output.find("ok\tseal line\t1\t\n"), std::string::npos);
    EXPECT_NE(damaged.output.find("broken chain\tseal line\t2\tlonger than a seal line can be\n"),
              std::string::npos);
    test::WriteFile(sealPath, seal.substr(0, seal.size() / 2));
    const test::CommandResult cut = Verify();
    EXPECT_EQ(cut.status, 1) << cut.output;
    EXPECT_NE(cut.output.find("broken chain\tseal line\t1\tnot a seal line of this program\n"),
              std::string::npos)
        << cut.output;
    EXPECT_NE(cut.output.find("unsealed\treport\t"), std::string::npos) << cut.output;
    EXPECT_NE(cut.output.find("inserted\tsummary block\t1\t"), std::string::npos) << cut.output;
}

// The seal cannot grow: the summary's block is taken back, the report goes,
// the dates stay, and the Application log says why.
TEST_F(SealedReports, ARunWhoseSealCannotBeWrittenFailsAndKeepsItsDates) {
    Install();
    ReportRun();
    const std::string dates = StoredDates();
    ASSERT_NE(dates.find("LastDateProc"), std::string::npos) << dates;
    const std::map<std::string, std::string> files = Files();
    const std::string seal = reports + "/_ZRMAudit_seal.txt";
    // Just below the file size limit (1 MiB): the summary's block fits, the seal's line does not.
    const std::uintmax_t size = 1024 * 1024 - 100;
    std::filesystem::resize_file(seal, size);
    const test::CommandResult run = Run("sh -c 'ulimit -f 2048; exec " + std::string(VZRMAUD_PATH) +
                                        " -c -rf \"" + reports + "\"'");
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string logged = ReadText(ApplicationLog());
    EXPECT_NE(logged.find("SEALNOTWRITTENX"), std::string::npos) << logged;
    EXPECT_NE(logged.find("_ZRMAudit_seal.txt"), std::string::npos) << logged;
    EXPECT_EQ(fs::file_size(seal), size);
    EXPECT_EQ(ReadText(reports + "/_ZRMAudit_summary.txt"),
              files.at(reports + "/_ZRMAudit_summary.txt"));
    EXPECT_EQ(ReportFiles().size(), 1u);
    EXPECT_EQ(StoredDates(), dates);

    // A link at the seal's name is refused before the log is read.
    fs::remove(seal);
    fs::create_symlink(dir.File("elsewhere.txt"), seal);
    const test::CommandResult linked = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(linked.status, 1) << linked.output;
    EXPECT_NE(ReadText(ApplicationLog()).find("is refused: it is a symbolic link"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir.File("elsewhere.txt")));
    EXPECT_EQ(ReadText(reports + "/_ZRMAudit_summary.txt"),
              files.at(reports + "/_ZRMAudit_summary.txt"));
    EXPECT_EQ(StoredDates(), dates);
}

TEST_F(SealedReports, TheKeyFilesAreRefusedWhenLinkedOrWritableByOthers) {
    Install();
    ReportRun();
    const std::string secret = dir.File("store") + "/seal.key";
    ASSERT_EQ(chmod(secret.c_str(), 0622), 0);
    const std::string dates = StoredDates();
    test::CommandResult run = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(
        ReadText(ApplicationLog())
            .find("The seal key file '" + secret + "' is refused: other accounts may write to it"),
        std::string::npos)
        << ReadText(ApplicationLog());
    EXPECT_EQ(StoredDates(), dates);
    ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
    fs::rename(secret, dir.File("moved.key"));
    fs::create_symlink(dir.File("moved.key"), secret);
    run = Audit("-c -rf '" + reports + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(ReadText(ApplicationLog())
                  .find("The seal key file '" + secret + "' is refused: it is a symbolic link"),
              std::string::npos);
    // The public key of verify: a link is refused, and so is one others may write.
    fs::remove(secret);
    fs::rename(dir.File("moved.key"), secret);
    const std::string pub = dir.File("store") + "/seal.pub";
    ASSERT_EQ(chmod(pub.c_str(), 0666), 0);
    const test::CommandResult writable = Verify();
    EXPECT_EQ(writable.status, 2) << writable.output;
    EXPECT_NE(writable.output.find("other accounts may write to it"), std::string::npos)
        << writable.output;
    ASSERT_EQ(chmod(pub.c_str(), 0644), 0);
    EXPECT_EQ(Verify().status, 0);
}

TEST_F(SealedReports, AnOrdinaryUsersRunSealsWithTheirOwnKey) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run as nobody";
    }
    BecomeNobody();
    Install();
    const test::CommandResult run = Audit("-c -rf '" + reports + "'");
    ASSERT_EQ(run.status, 0) << run.output << ReadText(ApplicationLog());
    const std::string keys = Home() + "/.config/vzrmaud";
    struct stat info {};
    ASSERT_EQ(stat((keys + "/seal.key").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    ASSERT_EQ(stat((keys + "/seal.pub").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_FALSE(fs::exists(dir.File("machine") + "/seal.key"));
    const test::CommandResult key = Run(std::string(VZRMLOG_PATH) + " key");
    ASSERT_EQ(key.status, 0) << key.output;
    const std::vector<std::string> lines = SealLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\t" + key.output.substr(0, 64) + "\t"), std::string::npos);
    const test::CommandResult verified = Verify();
    EXPECT_EQ(verified.status, 0) << verified.output;
    // Root checks it with the user's public key.
    const test::CommandResult asRoot = test::RunCommand(
        std::string(VZRMLOG_PATH) + " verify '" + reports + "' --key '" + keys + "/seal.pub' 2>&1");
    EXPECT_EQ(asRoot.status, 0) << asRoot.output;
}

}  // namespace
}  // namespace vzrm
