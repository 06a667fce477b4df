// What another account may put at a name the run opens: a FIFO, a folder, a
// device or a link where the log or the Application-log file should be. The
// run neither waits for ever nor reads through a link; it fails, and the
// summary block names the file it refused.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/vzrmaud_fixture.h"

namespace vzrm {
namespace {

class UnusualFiles : public Vzrmaud {
  protected:
    void SetUp() override {
        Vzrmaud::SetUp();
        Install();
    }
    // A run over `log` that must end within the timeout (124 when it waited).
    test::CommandResult TimedRun(const std::string& log, const std::string& environment = "") {
        return Run(environment + "timeout 20 " + VZRMAUD_PATH + " -c -rf '" + reports + "'", log);
    }
    std::string LastBlock() const {
        const std::string summary = Summary();
        const std::size_t at = summary.rfind("Start of processing");
        return at == std::string::npos ? summary : summary.substr(at);
    }
};

TEST_F(UnusualFiles, ALogThatIsNoPlainFileFailsTheRunNamingIt) {
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("folder"));
    std::filesystem::create_symlink(dir.File("Security.evtx"), dir.File("link.evtx"));
    for (const std::string& log :
         {dir.File("pipe"), dir.File("folder"), std::string("/dev/zero"), dir.File("link.evtx")}) {
        const test::CommandResult run = TimedRun(log);
        EXPECT_EQ(run.status, 1) << log << "\n" << run.output;
        const std::string block = LastBlock();
        EXPECT_NE(block.find("The error occurred:"), std::string::npos) << log << "\n" << block;
        EXPECT_NE(block.find("STRG: [" + log + "]"), std::string::npos) << log << "\n" << block;
        EXPECT_TRUE(ReportFiles().empty()) << log;
    }
    // The log that the link named is read when named itself.
    EXPECT_EQ(TimedRun(dir.File("Security.evtx")).status, 0);
}

TEST_F(UnusualFiles, AFifoAtTheApplicationLogDoesNotHoldTheRun) {
    ASSERT_EQ(mkfifo(dir.File("events").c_str(), 0600), 0);
    // A failed run writes its error record to the Application log.
    const test::CommandResult run =
        TimedRun(dir.File("missing.evtx"), "VZRM_APPLICATION_LOG='" + dir.File("events") + "' ");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(LastBlock().find("The error occurred:"), std::string::npos) << LastBlock();
}

}  // namespace
}  // namespace vzrm
