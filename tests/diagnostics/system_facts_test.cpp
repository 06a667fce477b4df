// The machine description from Linux facts.
#include "platform/posix/system_facts.h"

#include "diagnostics/system_description.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <regex>

#include "base/error_info.h"

namespace vzrm {
namespace {

using platform::posix::OsReleaseName;
using platform::posix::ParseCpuInfo;

TEST(SystemFacts, OsReleaseNames) {
    EXPECT_EQ(OsReleaseName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                            "(bookworm)\"\nVERSION=\"12 (bookworm)\"\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(OsReleaseName("NAME='Alpine'\nVERSION=3.19\n# comment\n"), "Alpine 3.19");
    EXPECT_EQ(OsReleaseName("garbage without equals\n"), "Linux");
    EXPECT_EQ(OsReleaseName(""), "Linux");
}

TEST(SystemFacts, CpuInfoOfTheFirstProcessor) {
    const std::string x86 =
        "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 85\n"
        "model name\t: Intel(R) Xeon(R) Gold 6230 CPU @ 2.10GHz  \nstepping\t: 7\n"
        "cpu MHz\t\t: 2095.078\n\nprocessor\t: 1\nvendor_id\t: Other\n";
    const auto cpu = ParseCpuInfo(x86, "x86_64");
    EXPECT_EQ(cpu.vendor, "GenuineIntel");
    EXPECT_EQ(cpu.identifier, "x86_64 Family 6 Model 85 Stepping 7");
    EXPECT_EQ(cpu.name, "Intel(R) Xeon(R) Gold 6230 CPU @ 2.10GHz");
    EXPECT_EQ(cpu.mhz, 2095u);
    EXPECT_EQ(DescribeProcessor(cpu.vendor, cpu.identifier, cpu.mhz, cpu.name),
              "Intel(R) Xeon(R) Gold 6230 CPU @ 2.10GHz (2095 MHz)");

    const auto arm = ParseCpuInfo(
        "processor\t: 0\nBogoMIPS\t: 50.00\nCPU implementer\t: 0x41\nCPU architecture: 8\n"
        "CPU part\t: 0xd0c\nCPU revision\t: 1\n",
        "aarch64");
    EXPECT_EQ(DescribeProcessor(arm.vendor, arm.identifier, arm.mhz, arm.name),
              "0x41, aarch64 Family 8 Model 0xd0c Stepping 1 (0 MHz)");
    const auto none = ParseCpuInfo("", "x86_64");
    EXPECT_EQ(DescribeProcessor(none.vendor, none.identifier, none.mhz, none.name),
              "???, ??? (0 MHz)");
}

TEST(SystemFacts, LinesOfThisMachine) {
    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    const std::string os = DescribeThisOperatingSystem();
    EXPECT_TRUE(std::regex_match(os, std::regex(".+, (32|64)-bit, .+"))) << os;
    EXPECT_NE(os.find(system.release), std::string::npos);
    EXPECT_TRUE(std::regex_match(
        DescribeThisMemory(),
        std::regex(R"(phys=[1-9]\d*, page=\d+, virt=[1-9]\d*\[0\] \(all in Mb\))")))
        << DescribeThisMemory();
    EXPECT_TRUE(std::regex_match(DescribeThisProcessor(), std::regex(R"(.+ \(\d+ MHz\))")));

    std::string user;
    CErrorInfo record;
    ASSERT_TRUE(GetCurrentUserName(user, &record));
    EXPECT_FALSE(user.empty());
    EXPECT_FALSE(record.HasError());
    if (geteuid() == 0) {
        EXPECT_EQ(user, "root");
        EXPECT_TRUE(platform::IsUserAdministrator());
    }
}

}  // namespace
}  // namespace vzrm
