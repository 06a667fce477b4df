// The machine description's Windows decision tables, fed with Windows values.
#include "diagnostics/system_description.h"

#include <gtest/gtest.h>

namespace vzrm {
namespace {

OS_VERSION_RECORD Version(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                          std::uint8_t productType = 1, std::uint16_t suite = 0,
                          const char* pack = "") {
    OS_VERSION_RECORD v;
    v.major = major;
    v.minor = minor;
    v.build = build;
    v.platform = 2;
    v.productType = productType;
    v.suiteMask = suite;
    v.servicePack = pack;
    return v;
}

TEST(SystemDescription, VersionClassesAndNames) {
    OS_VERSION_RECORD v95 = Version(4, 0, 950);
    v95.platform = 1;
    EXPECT_EQ(WindowsVersionName(ClassifyWindowsVersion(v95)), "Windows 95");
    v95.minor = 90;
    EXPECT_EQ(WindowsVersionName(ClassifyWindowsVersion(v95)), "Windows ME");
    EXPECT_EQ(WindowsVersionName(ClassifyWindowsVersion(Version(4, 0, 1381))), "Windows NT40");
    EXPECT_EQ(ClassifyWindowsVersion(Version(5, 0, 2195)), 5);
    EXPECT_EQ(ClassifyWindowsVersion(Version(5, 2, 3790)), 7);
    EXPECT_EQ(WindowsVersionName(ClassifyWindowsVersion(Version(6, 1, 7601))), "Windows 7");
    EXPECT_EQ(ClassifyWindowsVersion(Version(6, 2, 9200)), 0);
    EXPECT_EQ(ClassifyWindowsVersion(Version(5, 3, 1)), 0);
}

TEST(SystemDescription, OperatingSystemLines) {
    const OS_VERSION_RECORD xp = Version(5, 1, 2600, 1, 0, "Service Pack 3");
    EXPECT_EQ(DescribeOperatingSystem(&xp, DescribeProductType(xp, {}), DescribeBitness(false)),
              "Windows XP (Professional), 32-bit, 2600 [Service Pack 3]");
    const OS_VERSION_RECORD win8 = Version(6, 2, 9200, 1, 0, "");
    EXPECT_EQ(DescribeOperatingSystem(&win8, "", "64-bit"), "ma=6 mi=2 bu=9200 pl=2 v=[]");
    // x64 XP-class workstation: no product text, no parentheses; no pack, ends in the build.
    const OS_VERSION_RECORD xp64 = Version(5, 2, 3790);
    PRODUCT_FACTS x64;
    x64.nativeArchitecture = kArchX64;
    EXPECT_EQ(DescribeOperatingSystem(&xp64, DescribeProductType(xp64, x64), "64-bit"),
              "Windows Server 2003, 64-bit, 3790");
    EXPECT_EQ(DescribeOperatingSystem(nullptr, "x", "32-bit"), "");
    // Editions of version 6: 0x1C is Ultimate, 33 has no name.
    const OS_VERSION_RECORD seven = Version(6, 1, 7601, 1, 0, "Service Pack 1");
    PRODUCT_FACTS ultimate;
    ultimate.productInfoType = 0x1C;
    EXPECT_EQ(DescribeOperatingSystem(&seven, DescribeProductType(seven, ultimate), "64-bit"),
              "Windows 7 (Ultimate Edition), 64-bit, 7601 [Service Pack 1]");
    ultimate.productInfoType = 33;
    EXPECT_EQ(DescribeOperatingSystem(&seven, DescribeProductType(seven, ultimate), "64-bit"),
              "Windows 7, 64-bit, 7601 [Service Pack 1]");
}

TEST(SystemDescription, ProductTexts) {
    PRODUCT_FACTS x86;
    EXPECT_EQ(DescribeProductType(Version(4, 0, 1381), x86), "Workstation 4.0");
    EXPECT_EQ(DescribeProductType(Version(5, 1, 2600, 1, kSuitePersonal), x86), "Home Edition");
    EXPECT_EQ(DescribeProductType(Version(4, 0, 1381, 3, kSuiteEnterprise), x86),
              "Server 4.0, Enterprise Edition");
    EXPECT_EQ(DescribeProductType(Version(5, 0, 2195, 2), x86), "Server");
    EXPECT_EQ(DescribeProductType(Version(5, 0, 2195, 3, kSuiteEnterprise), x86),
              "Advanced Server");
    EXPECT_EQ(DescribeProductType(Version(5, 0, 2195, 3, kSuiteDatacenter), x86),
              "Datacenter Server");
    EXPECT_EQ(DescribeProductType(Version(5, 2, 3790, 3, kSuiteBlade), x86), "Web Edition");
    EXPECT_EQ(DescribeProductType(Version(5, 2, 3790, 3), x86), "Standard Edition");
    EXPECT_EQ(DescribeProductType(Version(5, 1, 2600, 3, kSuiteEnterprise), x86),
              "Server 4.0, Enterprise Edition");
    PRODUCT_FACTS itanium;
    itanium.nativeArchitecture = kArchItanium;
    EXPECT_EQ(DescribeProductType(Version(5, 2, 3790, 3, kSuiteDatacenter), itanium),
              "Datacenter Edition for Itanium-based Systems");
    EXPECT_EQ(DescribeProductType(Version(5, 2, 3790, 3), itanium), "");
    PRODUCT_FACTS x64;
    x64.nativeArchitecture = kArchX64;
    EXPECT_EQ(DescribeProductType(Version(5, 2, 3790, 3, kSuiteEnterprise), x64),
              "Enterprise x64 Edition");
    EXPECT_EQ(DescribeProductType(Version(5, 2, 3790, 3), x64), "Standard x64 Edition");
    EXPECT_EQ(DescribeProductType(Version(5, 2, 3790, 4), x64), "");

    OS_VERSION_RECORD nineX = Version(4, 10, 1998);
    nineX.platform = 1;
    EXPECT_EQ(DescribeProductType(nineX, x86), "");
    // A short record reads ProductOptions, case-insensitively.
    OS_VERSION_RECORD shortRecord = Version(5, 0, 2195);
    shortRecord.size = kVersionRecordShort;
    PRODUCT_FACTS options;
    options.productOptions = "ServerNT";
    EXPECT_EQ(DescribeProductType(shortRecord, options), "Advanced Server");
    options.productOptions = "winnt";
    EXPECT_EQ(DescribeProductType(shortRecord, options), "Workstation");
    options.productOptions = std::string(81, 'W');
    EXPECT_EQ(DescribeProductType(shortRecord, options), "");
}

TEST(SystemDescription, EditionsProcessorAndMemory) {
    EXPECT_EQ(DescribeEdition(0), "An unknown product");
    EXPECT_EQ(DescribeEdition(41), "Server Enterprise Edition (Core)");
    EXPECT_EQ(DescribeEdition(32), "Windows Essential Business Server Messaging Server");
    EXPECT_EQ(DescribeEdition(42), "");
    EXPECT_EQ(DescribeProcessor("GenuineIntel", "x86 Family 6 Model 15 Stepping 11", 2394, ""),
              "GenuineIntel, x86 Family 6 Model 15 Stepping 11 (2394 MHz)");
    EXPECT_EQ(DescribeProcessor("", "", 0, ""), "???, ??? (0 MHz)");
    EXPECT_EQ(DescribeProcessor("GenuineIntel", "", 2394, "Intel(R) Core(TM)2 CPU"),
              "Intel(R) Core(TM)2 CPU (2394 MHz)");
    platform::MEMORY_FACTS memory;
    memory.totalPhysical = (2048ull << 20) + 12345;
    memory.totalPageFile = 4096ull << 20;
    memory.totalVirtual = 8ull << 40;
    EXPECT_EQ(DescribeMemory(memory), "phys=2048, page=4096, virt=8388608[0] (all in Mb)");
}

}  // namespace
}  // namespace vzrm
