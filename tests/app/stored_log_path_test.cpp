// The Security log named by the store's File value at paths whose look-up
// fails (a name too long, a link loop, a folder the account may not search):
// the run fails through its error path, with its block, its status and its
// Application-log event, and is never aborted by an exception.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "app/vzrmaud_fixture.h"

namespace vzrm {
namespace {

class StoredLogPath : public Vzrmaud {
  protected:
    void SetStoredFile(const std::string& path) {
        const test::CommandResult added =
            Run(std::string(VZRMREG_PATH) +
                    " add 'HKLM\\SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Security' /v File "
                    "/d '" +
                    path + "' /f",
                "", "", false);
        ASSERT_EQ(added.status, 0) << added.output;
    }
    // A run that reads the log through the File value only.
    void ExpectFailedRun(const std::string& what) {
        // $VZRM_SECURITY_LOG empty (unset for the program), and the program
        // started by setpriv itself: an `env` of the account could not reach a
        // build in a folder only root may search.
        const std::string command =
            std::regex_replace(Command(std::string(VZRMAUD_PATH) + " -c -rf '" + reports + "'"),
                               std::regex("VZRM_SECURITY_LOG='[^']*'"), "VZRM_SECURITY_LOG=");
        const test::CommandResult run = test::RunCommand(command + " 2>&1");
        EXPECT_EQ(run.status, 1) << what << "\n" << run.output;
        const std::string summary = Summary();
        const std::string last = summary.substr(summary.rfind("Start of processing"));
        EXPECT_NE(last.find("Audit report hasn't been created. The error occurred:"),
                  std::string::npos)
            << what << "\n"
            << summary;
        EXPECT_TRUE(ReportFiles().empty()) << what;
        EXPECT_NE(ReadText(ApplicationLog()).find("error 0xC0000002"), std::string::npos) << what;
    }
};

TEST_F(StoredLogPath, APathThatCannotBeLookedUpFailsTheRun) {
    Install();
    SetStoredFile(dir.File(std::string(300, 'a') + "/Security.evtx"));
    ExpectFailedRun("a name too long");
    std::filesystem::create_symlink("loop", dir.File("loop"));
    SetStoredFile(dir.File("loop/Security.evtx"));
    ExpectFailedRun("a link loop");
}

TEST_F(StoredLogPath, AFolderTheAccountMayNotSearchFailsTheRun) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run as nobody";
    }
    BecomeNobody();
    Install();
    std::filesystem::create_directory(dir.File("closed"));
    ASSERT_EQ(chmod(dir.File("closed").c_str(), 0700), 0);
    std::filesystem::copy_file(dir.File("Security.evtx"), dir.File("closed/Security.evtx"));
    SetStoredFile(dir.File("closed/Security.evtx"));
    ExpectFailedRun("a folder without search permission");
}

}  // namespace
}  // namespace vzrm
