#include "settings/install_record.h"

#include "base/error_info.h"
#include "base/error_texts.h"
#include "base/format_text.h"
#include "platform/calendar.h"
#include "platform/error_codes.h"
#include "settings/reg_key_handle.h"

namespace vzrm {
namespace {

using namespace platform;

std::string VersionKey(const CSoftInst& soft) {
    return soft.BasePath() + "\\ProductVersion";
}
std::string OptionKey(const CSoftInst& soft) {
    return soft.BasePath() + "\\OptionVersion";
}

bool Absent() {
    return g_errorInfo.GetCode() == kErrorFileNotFound;
}

bool ReadVersion(HKEY root, const std::string& path, PRODUCT_VERSION& version) {
    CRegKeyHandle key(&g_errorInfo);
    if (!key.Open(root, path, KEY_QUERY_VALUE)) {
        g_errorInfo.AddErrPoint("XVMXRMHVIMKCTK8");
        return false;
    }
    const std::pair<const char*, std::uint32_t*> values[] = {
        {"MajorVer", &version.major}, {"MinorVer", &version.minor}, {"NumbBuild", &version.build}};
    const char* const points[] = {"TZEYCD7KFCU4LKN", "ZDV4WH22W5BI3JE", "X86DZX5342PIXTL"};
    for (int i = 0; i < 3; ++i) {
        if (!key.ReadDword(values[i].first, *values[i].second)) {
            g_errorInfo.AddErrPoint(points[i]);
            return false;
        }
    }
    return true;
}

// One value of the installation record, read by a reader of its own.
bool ReadInstallValue(const CSoftInst& soft, const char* name, const char* openPoint,
                      const char* valuePoint, std::int32_t& value) {
    CRegKeyHandle key(&g_errorInfo);
    if (!key.Open(HKEY_LOCAL_MACHINE, VersionKey(soft), KEY_QUERY_VALUE)) {
        g_errorInfo.AddErrPoint(openPoint);
        return false;
    }
    std::uint32_t dword = 0;
    if (!key.ReadDword(name, dword)) {
        g_errorInfo.AddErrPoint(valuePoint);
        return false;
    }
    value = static_cast<std::int32_t>(dword);
    return true;
}

bool WriteOptionValue(
    const CSoftInst& soft, const char* keyPoint,
    std::initializer_list<std::pair<const char*, std::pair<std::uint32_t, const char*>>> values) {
    CRegKeyHandle key(&g_errorInfo);
    if (!key.Open(HKEY_CURRENT_USER, OptionKey(soft),
                  KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) {
        g_errorInfo.AddErrPoint(keyPoint);
        return false;
    }
    for (const auto& [name, valueAndPoint] : values) {
        if (!key.WriteDword(name, valueAndPoint.first)) {
            g_errorInfo.AddErrPoint(valueAndPoint.second);
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReadProductVersion(const CSoftInst& soft, PRODUCT_VERSION& version) {
    return ReadVersion(HKEY_LOCAL_MACHINE, VersionKey(soft), version);
}

bool ReadOptionVersion(const CSoftInst& soft, PRODUCT_VERSION& version) {
    return ReadVersion(HKEY_CURRENT_USER, OptionKey(soft), version);
}

bool ReadInstallFlags(const CSoftInst& soft, INSTALL_FLAGS& flags) {
    flags = {0, 0, -1};
    std::int32_t commonReg = 0;
    if (!ReadInstallValue(soft, "CommonReg", "CUD8WMFJB53KIT3", "ZZU67T7L6P455IK", commonReg)) {
        if (Absent()) {
            return true;
        }
        g_errorInfo.AddErrPoint("CLDUXL58RGTMX8M");
        return false;
    }
    flags.commonApp = commonReg;
    if (commonReg == 0) {
        return true;
    }
    std::int32_t commonSet = 0;
    if (!ReadInstallValue(soft, "CommonSet", "GJID882JK9J8YYK", "86FUC6BHDY64CXE", commonSet)) {
        if (Absent()) {
            return true;
        }
        g_errorInfo.AddErrPoint("XYWPWWPCMN4XYMN");
        return false;
    }
    flags.optionsForAll = commonSet;
    if (commonSet == 0) {
        return true;
    }
    std::int32_t access = -1;
    if (!ReadInstallValue(soft, "SetAccess", "KBEXL9NRXXS5T26", "P8MWVEXHTDSMB6L", access)) {
        if (Absent()) {
            return true;
        }
        g_errorInfo.AddErrPoint("AH8F7565H3ZTVKA");
        return false;
    }
    flags.access = access;
    return true;
}

bool ReadOptionFlags(const CSoftInst& soft, std::int32_t& commonApp, std::int32_t& optionsForAll) {
    CRegKeyHandle key(&g_errorInfo);
    const int opened = key.OpenIfExists(HKEY_CURRENT_USER, OptionKey(soft), KEY_QUERY_VALUE);
    if (opened <= 0) {
        return opened == 0;
    }
    const std::pair<std::int32_t*, const char*> values[] = {{&commonApp, "4S5GMZU4I4AN3NZ"},
                                                            {&optionsForAll, "G7ZZ9CW596YCDCL"}};
    const char* const names[] = {"CommonReg", "CommonSet"};
    for (int i = 0; i < 2; ++i) {
        std::uint32_t dword = 0;
        const int read = key.ReadDwordIfExists(names[i], dword);
        if (read < 0) {
            g_errorInfo.AddErrPoint(values[i].second);
            return false;
        }
        *values[i].first = read == 1 ? static_cast<std::int32_t>(dword) : 0;
    }
    return true;
}

bool ReadInstallDate(const CSoftInst& soft, std::optional<std::uint64_t>& fileTime) {
    fileTime.reset();
    CRegKeyHandle key(&g_errorInfo);
    if (!key.Open(HKEY_LOCAL_MACHINE, soft.BasePath(), KEY_QUERY_VALUE)) {
        g_errorInfo.AddErrPoint("V847DS44WLELUW3");
        return false;
    }
    const std::int64_t size = key.ReadBinary("InstDateLastVer", nullptr, 0);
    if (size < 0) {
        g_errorInfo.AddErrPoint("2P42IMZAX3ZLTND");
        return false;
    }
    if (size < 16) {
        const auto size32 = static_cast<std::uint32_t>(size);
        g_errorInfo.SetError("22EJIVMCKGH2Y4G", kErrorInvalidData, "",
                             HexDumpText(&size32, sizeof size32));
        return false;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (key.ReadBinary("InstDateLastVer", bytes.data(), static_cast<std::uint32_t>(size)) < 0) {
        g_errorInfo.AddErrPoint("56MR5LWAUJM7NBI");
        return false;
    }
    auto word = [&](int at) { return static_cast<int>(bytes[at] | bytes[at + 1] << 8); };
    const int year = word(0), month = word(2), day = word(6);
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1601) {
        g_errorInfo.SetError("22EJIVMCKGH2Y4G", kErrorInvalidData, "",
                             HexDumpText(bytes.data(), 16));
        return false;
    }
    const std::int64_t instant =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
        word(8) * 3600 + word(10) * 60 + word(12);
    fileTime = static_cast<std::uint64_t>(FileTimeFromInstant(instant)) +
               static_cast<std::uint64_t>(word(14)) * 10000;
    return true;
}

bool ReadInstallPath(const CSoftInst& soft, const std::string& executable, std::string& path) {
    path.clear();
    {
        CRegKeyHandle key(&g_errorInfo);
        const int opened = key.OpenIfExists(HKEY_LOCAL_MACHINE, soft.BasePath(), KEY_QUERY_VALUE);
        if (opened < 0) {
            g_errorInfo.AddErrPoint("9E2D8PJCKLLXMWA");
            return false;
        }
        if (opened == 1 && key.ReadStringIfExists("Path", path) < 0) {
            g_errorInfo.AddErrPoint("NB5ZYW7HN72S8J3");
            return false;
        }
    }
    if (!path.empty() || executable.empty()) {
        return true;
    }
    CRegKeyHandle key(&g_errorInfo);
    const int opened = key.OpenIfExists(
        HKEY_LOCAL_MACHINE,
        "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + executable, KEY_QUERY_VALUE);
    if (opened < 0) {
        g_errorInfo.AddErrPoint("WHNTS7FX9BFPHTE");
        return false;
    }
    if (opened == 1 && key.ReadStringIfExists("Path", path) < 0) {
        g_errorInfo.AddErrPoint("ZGEW5UWNZJNCVBC");
        return false;
    }
    return true;
}

bool WriteOptionVersion(const CSoftInst& soft) {
    return WriteOptionValue(
        soft, "I77P5IY97FWH66R",
        {{"MajorVer", {static_cast<std::uint32_t>(soft.major), "VKDSPU2EYM3SBA9"}},
         {"MinorVer", {static_cast<std::uint32_t>(soft.minor), "IMZ8BBWZLCWJ67D"}},
         {"NumbBuild", {static_cast<std::uint32_t>(soft.build), "CR934ZXKILBUWCM"}}});
}

bool WriteOptionCommonReg(const CSoftInst& soft, std::int32_t value) {
    return WriteOptionValue(
        soft, "JXC75C5WNFHXARC",
        {{"CommonReg", {static_cast<std::uint32_t>(value), "MXCX6XRDVPK6IIN"}}});
}

bool WriteOptionCommonSet(const CSoftInst& soft, std::int32_t value) {
    return WriteOptionValue(
        soft, "RG9IDDB5AH7KBZZ",
        {{"CommonSet", {static_cast<std::uint32_t>(value), "U7CUZ68289UDD9F"}}});
}

int CheckInstallation(const CSoftInst& soft, INSTALL_FLAGS& flags) {
    PRODUCT_VERSION installed;
    if (!ReadProductVersion(soft, installed)) {
        if (!Absent()) {
            g_errorInfo.AddErrPoint("3TLTFQZGQW7YQAI");
            return -1;
        }
        installed = {};
        g_errorInfo.Clear();
    }
    const bool same = installed.major * 100 + installed.minor ==
                          static_cast<std::uint32_t>(soft.major * 100 + soft.minor) &&
                      installed.build == static_cast<std::uint32_t>(soft.build);
    if (!same) {
        return 0;
    }
    if (!ReadInstallFlags(soft, flags)) {
        g_errorInfo.AddErrPoint("KZWIBNOYTAEVOUU");
        return -1;
    }
    g_errorInfo.Clear();
    return 1;
}

std::int32_t UpdateOptionVersion(const CSoftInst& soft, const INSTALL_FLAGS& installed,
                                 MoveOptions move, const std::function<void()>& show) {
    auto failed = [&](const char* point) {
        g_errorInfo.AddErrPoint(point);
        if (show) {
            show();
        }
        g_errorInfo.Clear();
    };
    g_errorInfo.Clear();
    PRODUCT_VERSION stored;
    if (!ReadOptionVersion(soft, stored)) {
        if (!Absent()) {
            failed("IBGZNKXEBCFZBRI");
        }
        stored = {};
        g_errorInfo.Clear();
    }
    std::int32_t commonReg = -1;
    std::int32_t commonSet = -1;
    if (!ReadOptionFlags(soft, commonReg, commonSet)) {
        failed("SYWXIMSKPREBXOJ");
    }
    std::int32_t optionsForAll = installed.optionsForAll;
    if (commonSet != -1 && commonSet != installed.optionsForAll && move != nullptr) {
        g_errorInfo.Clear();
        if (!move(soft, commonSet, installed.optionsForAll)) {
            if (g_errorInfo.GetCode() != kErrorAccessDenied && show) {
                show();
            }
            g_errorInfo.Clear();
            // The options stay where they are, and the record says so: this
            // run uses them there and the next start tries the move again.
            optionsForAll = commonSet;
        }
    }
    const bool sameVersion = stored.major * 100 + stored.minor ==
                                 static_cast<std::uint32_t>(soft.major * 100 + soft.minor) &&
                             stored.build == static_cast<std::uint32_t>(soft.build);
    if (!sameVersion && !WriteOptionVersion(soft)) {
        failed("IIRGPIGUHRSOMQE");
    }
    if (commonReg != installed.commonApp && !WriteOptionCommonReg(soft, installed.commonApp)) {
        failed("VQKJWLULYDZINPK");
    }
    if (commonSet != optionsForAll && !WriteOptionCommonSet(soft, optionsForAll)) {
        failed("JQVNKGQCOOFCPOR");
    }
    return optionsForAll;
}

std::string InstallLine(const INSTALL_FLAGS& flags) {
    return FormatText("Install: %s, %s, %s (%d,%d,%d)\r\n",
                      flags.commonApp == 1 ? "Common app" : "Single app",
                      flags.optionsForAll == 1 ? "Options for all" : "Options for one",
                      flags.access == 1 || flags.optionsForAll != 1 ? "Access full" : "Access read",
                      flags.commonApp, flags.optionsForAll, flags.access);
}

}  // namespace vzrm
