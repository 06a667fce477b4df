// The Application log writer, through the platform's file form of the log.
#include "report/event_log_writer.h"

#include <gtest/gtest.h>

#include "base/error_info.h"
#include "platform/posix/syslog_application_log.h"
#include "support/fake_services.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

std::string Text(const std::string& path) {
    const std::vector<std::uint8_t> bytes = test::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(EventLogWriter, TypesComeFromTheTopBitsAndNothingIsWrittenWithoutASource) {
    test::TempDir dir;
    test::ScopedEnv file("VZRM_APPLICATION_LOG", dir.File("application.log").c_str());
    CEventLogWriter writer;
    writer.Report(3, {"not yet"});
    writer.Open(kEventSource);
    writer.Open("Another");  // stays with the first source
    writer.Report(3, {"Creating of report was finished successfully."});
    writer.Report(0x40000003, {"information"});
    writer.Report(0x80000001, {"warning", "second string"});
    g_errorInfo.Clear();
    g_errorInfo.SetError("GRQPGWMYOADVWBB", 0, "The parameter is incorrect.");
    writer.ReportErrorRecord("Velmora ZRM Auditor 1.0");
    writer.Close();
    writer.Report(3, {"after closing"});
    const std::string log = Text(dir.File("application.log"));
    EXPECT_EQ(log.find("not yet"), std::string::npos);
    EXPECT_EQ(log.find("after closing"), std::string::npos);
    EXPECT_EQ(log.rfind("VelmoraZRMAuditor success 0x00000003\n"
                        "Creating of report was finished successfully.\n"
                        "VelmoraZRMAuditor information 0x40000003\ninformation\n"
                        "VelmoraZRMAuditor warning 0x80000001\nwarning\nsecond string\n"
                        "VelmoraZRMAuditor error 0xC0000002\nVelmora ZRM Auditor 1.0\r\n",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find("GRQPGWMYOADVWBB"), std::string::npos);
    g_errorInfo.Clear();
}

TEST(EventLogWriter, AnUnwritableLogFileIsAFailedWrite) {
    test::TempDir dir;
    test::ScopedEnv file("VZRM_APPLICATION_LOG", dir.File("no/such/folder/log").c_str());
    platform::posix::SyslogApplicationLog log;
    EXPECT_FALSE(log.Write(kEventSource, platform::EVENTLOG_ERROR_TYPE, 1, {"x"}));
}

}  // namespace
}  // namespace vzrm
