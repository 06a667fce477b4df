// One-line descriptions of the machine for error reports. The Windows decision
// tables work on the raw values a Windows query returns; on Linux the same
// lines are filled from the platform's facts (platform/system_facts.h).
#pragma once

#include <cstdint>
#include <string>

#include "platform/system_facts.h"

namespace vzrm {

class CErrorInfo;

inline constexpr std::uint32_t kVersionRecordExtended = 156;
inline constexpr std::uint32_t kVersionRecordShort = 148;

inline constexpr std::uint16_t kSuiteEnterprise = 0x0002;
inline constexpr std::uint16_t kSuiteDatacenter = 0x0080;
inline constexpr std::uint16_t kSuitePersonal = 0x0200;
inline constexpr std::uint16_t kSuiteBlade = 0x0400;

inline constexpr std::uint16_t kArchX86 = 0;
inline constexpr std::uint16_t kArchItanium = 6;
inline constexpr std::uint16_t kArchX64 = 9;

// What GetVersionExA fills; suite mask and product type only in the extended form.
struct OS_VERSION_RECORD {
    std::uint32_t size = kVersionRecordExtended;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t platform = 0;  // 1 Windows 9x, 2 NT
    std::string servicePack;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;  // 1 workstation, 2 domain controller, 3 server
};

// 1..9 for the versions the program knows, 0 for any other.
int ClassifyWindowsVersion(const OS_VERSION_RECORD& version);
// "Windows XP" and the like; empty for class 0.
std::string WindowsVersionName(int versionClass);

// The raw values behind the product text.
struct PRODUCT_FACTS {
    std::uint16_t nativeArchitecture = kArchX86;
    // The ProductOptions "ProductType" value for a short record; empty when unreadable.
    std::string productOptions;
    // GetProductInfo's type for version 6 and later; 0 when unavailable.
    std::uint32_t productInfoType = 0;
};
std::string DescribeProductType(const OS_VERSION_RECORD& version, const PRODUCT_FACTS& facts);
// The edition of a GetProductInfo type; empty for types without a name.
std::string DescribeEdition(std::uint32_t productInfoType);
// "64-bit" for a process under 32-bit emulation on a 64-bit system.
std::string DescribeBitness(bool wow64);

// "Windows XP (Professional), 32-bit, 2600 [Service Pack 3]"; empty without a record.
std::string DescribeOperatingSystem(const OS_VERSION_RECORD* version,
                                    const std::string& productText, const std::string& bitnessText);

// "name (N MHz)", or "vendor, identifier (N MHz)" without a name; "???" for a
// missing vendor or identifier.
std::string DescribeProcessor(const std::string& vendor, const std::string& identifier,
                              std::uint32_t mhz, const std::string& name);

// Byte counts, printed in whole mebibytes.
std::string DescribeMemory(const platform::MEMORY_FACTS& memory);

// This machine: "Debian GNU/Linux 12 (bookworm), 64-bit, 6.1.0-18-amd64" (the
// system's name, bitness and kernel release in the places of the Windows line).
std::string DescribeThisOperatingSystem();
std::string DescribeThisProcessor();
std::string DescribeThisMemory();
// The effective user's name; on failure the error goes to `record` (or the
// process-wide one) and the result is false.
bool GetCurrentUserName(std::string& name, CErrorInfo* record = nullptr);

}  // namespace vzrm
