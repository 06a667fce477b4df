#include "diagnostics/system_description.h"

#include "base/case_fold.h"
#include "base/error_info.h"
#include "base/error_texts.h"
#include "base/format_text.h"

namespace vzrm {

int ClassifyWindowsVersion(const OS_VERSION_RECORD& v) {
    if (v.platform == 1 && v.major == 4) {
        switch (v.minor) {
            case 0:
                return 1;
            case 10:
                return 2;
            case 90:
                return 3;
            default:
                return 0;
        }
    }
    if (v.platform == 2) {
        if (v.major == 4 && v.minor == 0) {
            return 4;
        }
        if (v.major == 5 && v.minor <= 2) {
            return static_cast<int>(5 + v.minor);
        }
        if (v.major == 6 && v.minor <= 1) {
            return static_cast<int>(8 + v.minor);
        }
    }
    return 0;
}

std::string WindowsVersionName(int versionClass) {
    static const char* const kNames[] = {"",           "Windows 95",          "Windows 98",
                                         "Windows ME", "Windows NT40",        "Windows 2000",
                                         "Windows XP", "Windows Server 2003", "Windows Vista",
                                         "Windows 7"};
    return versionClass >= 1 && versionClass <= 9 ? kNames[versionClass] : "";
}

namespace {

std::string ServerBeforeVista(const OS_VERSION_RECORD& v, std::uint16_t arch) {
    const bool enterprise = (v.suiteMask & kSuiteEnterprise) != 0;
    const bool datacenter = (v.suiteMask & kSuiteDatacenter) != 0;
    const std::string nt4 = enterprise ? "Server 4.0, Enterprise Edition" : "Server 4.0";
    if (v.major != 5) {
        return nt4;
    }
    if (v.minor == 2) {
        if (arch == kArchItanium) {
            return datacenter   ? "Datacenter Edition for Itanium-based Systems"
                   : enterprise ? "Enterprise Edition for Itanium-based Systems"
                                : "";
        }
        if (arch == kArchX64) {
            return datacenter    ? "Datacenter x64 Edition"
                   : !enterprise ? "Standard x64 Edition"
                                 : "Enterprise x64 Edition";
        }
        return datacenter                         ? "Datacenter Edition"
               : enterprise                       ? "Enterprise Edition"
               : (v.suiteMask & kSuiteBlade) != 0 ? "Web Edition"
                                                  : "Standard Edition";
    }
    if (v.minor == 0) {
        return datacenter ? "Datacenter Server" : !enterprise ? "Server" : "Advanced Server";
    }
    return nt4;
}

}  // namespace

std::string DescribeProductType(const OS_VERSION_RECORD& v, const PRODUCT_FACTS& facts) {
    if (v.platform != 2) {
        return {};
    }
    if (v.size != kVersionRecordExtended) {
        const char* value = facts.productOptions.c_str();
        if (facts.productOptions.size() > 80) {
            return {};
        }
        return EqualNoCase(value, "WINNT")      ? "Workstation"
               : EqualNoCase(value, "LANMANNT") ? "Server"
               : EqualNoCase(value, "SERVERNT") ? "Advanced Server"
                                                : "";
    }
    if (v.major >= 6) {
        return DescribeEdition(facts.productInfoType);
    }
    if (v.productType == 1) {
        if (facts.nativeArchitecture == kArchX64) {
            return {};
        }
        return v.major == 4                          ? "Workstation 4.0"
               : (v.suiteMask & kSuitePersonal) != 0 ? "Home Edition"
                                                     : "Professional";
    }
    if (v.productType == 2 || v.productType == 3) {
        return ServerBeforeVista(v, facts.nativeArchitecture);
    }
    return {};
}

std::string DescribeEdition(std::uint32_t type) {
    switch (type) {
        case 0:
            return "An unknown product";
        case 1:
        case 28:
            return "Ultimate Edition";
        case 2:
        case 5:
            return "Home Basic Edition";
        case 3:
        case 26:
            return "Home Premium Edition";
        case 4:
        case 27:
            return "Enterprise Edition";
        case 6:
        case 16:
            return "Business Edition";
        case 7:
        case 36:
            return "Server Standard Edition (Full)";
        case 8:
        case 37:
            return "Server Datacenter Edition (Full)";
        case 9:
            return "Small Business Server";
        case 10:
        case 38:
            return "Server Enterprise Edition (Full)";
        case 11:
            return "Starter Edition";
        case 12:
        case 39:
            return "Server Datacenter Edition (Core)";
        case 13:
        case 40:
            return "Server Standard Edition (Core)";
        case 14:
        case 41:
            return "Server Enterprise Edition (Core)";
        case 15:
            return "Server Enterprise Edition for Itanium-based Systems";
        case 17:
            return "Web Server Edition (Full)";
        case 18:
            return "Cluster Server Edition";
        case 19:
            return "Home Server Edition";
        case 20:
            return "Storage Server Express Edition";
        case 21:
            return "Storage Server Standard Edition";
        case 22:
            return "Storage Server Workgroup Edition";
        case 23:
            return "Storage Server Enterprise Edition";
        case 24:
            return "Server for Small Business Edition";
        case 25:
            return "Small Business Server Premium Edition";
        case 29:
            return "Web Server Edition (Core)";
        case 30:
            return "Windows Essential Business Server Management Server";
        case 31:
            return "Windows Essential Business Server Security Server";
        case 32:
            return "Windows Essential Business Server Messaging Server";
        default:
            return {};
    }
}

std::string DescribeBitness(bool wow64) {
    return wow64 ? "64-bit" : "32-bit";
}

std::string DescribeOperatingSystem(const OS_VERSION_RECORD* v, const std::string& productText,
                                    const std::string& bitnessText) {
    if (v == nullptr) {
        return {};
    }
    const int versionClass = ClassifyWindowsVersion(*v);
    if (versionClass == 0) {
        return FormatText("ma=%d mi=%d bu=%d pl=%d v=[%s]", v->major, v->minor, v->build,
                          v->platform, v->servicePack);
    }
    const std::string product = productText.empty() ? "" : " (" + productText + ")";
    const std::string pack = v->servicePack.empty() ? "" : " [" + v->servicePack + "]";
    return FormatText("%s%s, %s, %d%s", WindowsVersionName(versionClass), product, bitnessText,
                      v->build, pack);
}

std::string DescribeProcessor(const std::string& vendor, const std::string& identifier,
                              std::uint32_t mhz, const std::string& name) {
    if (!name.empty()) {
        return FormatText("%s (%d MHz)", name, mhz);
    }
    return FormatText("%s, %s (%d MHz)", vendor.empty() ? "???" : vendor,
                      identifier.empty() ? "???" : identifier, mhz);
}

std::string DescribeMemory(const platform::MEMORY_FACTS& m) {
    return FormatText("phys=%I64u, page=%I64u, virt=%I64u[%I64u] (all in Mb)",
                      m.totalPhysical >> 20, m.totalPageFile >> 20, m.totalVirtual >> 20,
                      m.availableExtendedVirtual >> 20);
}

std::string DescribeThisOperatingSystem() {
    const platform::OS_FACTS os = platform::ThisOperatingSystem();
    if (os.machine.empty()) {
        return {};
    }
    const bool wide = os.machine.find("64") != std::string::npos;
    return os.name + ", " + DescribeBitness(wide) + ", " + os.release;
}

std::string DescribeThisProcessor() {
    const platform::CPU_FACTS cpu = platform::ThisProcessor();
    return DescribeProcessor(cpu.vendor, cpu.identifier, cpu.mhz, cpu.name);
}

std::string DescribeThisMemory() {
    return DescribeMemory(platform::ThisMemory());
}

bool GetCurrentUserName(std::string& name, CErrorInfo* record) {
    const platform::USER_NAME_QUERY query = platform::CurrentUserName();
    name = query.name;
    if (query.error != 0) {
        (record != nullptr ? *record : g_errorInfo)
            .SetError("X736ABFXCVFLXYE", query.error, std::string(),
                      HexDumpText(&query.attempt, sizeof query.attempt) +
                          HexDumpText(&query.bufferSize, sizeof query.bufferSize));
        return false;
    }
    return true;
}

}  // namespace vzrm
