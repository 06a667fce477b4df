// The installation record, the option-version record and the key wrapper's
// error points, on a real store.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "base/error_info.h"
#include "formats/reg_file.h"
#include "platform/error_codes.h"
#include "platform/services.h"
#include "settings/install_record.h"
#include "settings/move_stored_options.h"
#include "settings/options_profiles.h"
#include "settings/reg_key_handle.h"
#include "support/scoped_registry.h"

#include <sys/stat.h>

namespace vzrm {
namespace {

using namespace platform;

class InstallRecord : public ::testing::Test {
  protected:
    void SetUp() override { g_errorInfo.Clear(); }

    void Dword(HKEY root, const std::string& path, const std::string& name, std::uint32_t value) {
        HKEY key = 0;
        ASSERT_EQ(Registry().CreateKey(root, path, KEY_ALL_ACCESS, key), 0);
        ASSERT_EQ(Registry().SetValue(key, name, REG_DWORD,
                                      reinterpret_cast<const std::uint8_t*>(&value), 4),
                  0);
        Registry().CloseKey(key);
    }
    void Install(std::uint32_t commonReg, std::uint32_t commonSet) {
        const std::string path = soft.BasePath() + "\\ProductVersion";
        Dword(HKEY_LOCAL_MACHINE, path, "MajorVer", 1);
        Dword(HKEY_LOCAL_MACHINE, path, "MinorVer", 0);
        Dword(HKEY_LOCAL_MACHINE, path, "NumbBuild", 414);
        Dword(HKEY_LOCAL_MACHINE, path, "CommonReg", commonReg);
        Dword(HKEY_LOCAL_MACHINE, path, "CommonSet", commonSet);
    }

    test::ScopedRegistry store;
    CSoftInst soft;
};

TEST(SoftInst, VersionAndProductTexts) {
    const CSoftInst soft;
    EXPECT_EQ(soft.BasePath(), "Software\\Quorvix\\VelmoraZRMAuditor");
    EXPECT_EQ(soft.VersionText(), "1.0");
    EXPECT_EQ(soft.VersionText(1, 10), "1.1");
    EXPECT_EQ(soft.VersionText(1, 25), "1.2E");
    EXPECT_EQ(soft.VersionText(1, 3), "1.0C");
    EXPECT_EQ(soft.VersionText(2, 31), "2.3A");
    EXPECT_EQ(soft.ProductText(), "Velmora ZRM Auditor 1.0 (build 414)");
    EXPECT_EQ(soft.ProductName(true), "VelmoraZRMAuditor");
    CSoftInst empty;
    empty.companyWord.clear();
    EXPECT_EQ(empty.BasePath(), "Software\\???\\VelmoraZRMAuditor");
}

TEST_F(InstallRecord, MissingRecordMeansNotInstalled) {
    INSTALL_FLAGS flags;
    EXPECT_EQ(CheckInstallation(soft, flags), 0);
    EXPECT_FALSE(g_errorInfo.HasError());
    Install(1, 1);
    Dword(HKEY_LOCAL_MACHINE, soft.BasePath() + "\\ProductVersion", "NumbBuild", 413);
    EXPECT_EQ(CheckInstallation(soft, flags), 0);
    Dword(HKEY_LOCAL_MACHINE, soft.BasePath() + "\\ProductVersion", "NumbBuild", 414);
    EXPECT_EQ(CheckInstallation(soft, flags), 1);
}

TEST_F(InstallRecord, FlagsAreReadOnlyAsFarAsTheyMatter) {
    INSTALL_FLAGS flags;
    Install(0, 1);  // CommonSet is not read for a single-user installation
    ASSERT_TRUE(ReadInstallFlags(soft, flags));
    EXPECT_EQ(flags.commonApp, 0);
    EXPECT_EQ(flags.optionsForAll, 0);
    EXPECT_EQ(flags.access, -1);
    Install(1, 1);  // no SetAccess: read-only access
    ASSERT_TRUE(ReadInstallFlags(soft, flags));
    EXPECT_EQ(flags.optionsForAll, 1);
    EXPECT_EQ(flags.access, -1);
    EXPECT_EQ(InstallLine(flags), "Install: Common app, Options for all, Access read (1,1,-1)\r\n");
    Dword(HKEY_LOCAL_MACHINE, soft.BasePath() + "\\ProductVersion", "SetAccess", 1);
    ASSERT_TRUE(ReadInstallFlags(soft, flags));
    EXPECT_EQ(InstallLine(flags), "Install: Common app, Options for all, Access full (1,1,1)\r\n");
    EXPECT_EQ(InstallLine({1, 0, 0}),
              "Install: Common app, Options for one, Access full (1,0,0)\r\n");
}

TEST_F(InstallRecord, TextWhereANumberBelongsIsInvalidData) {
    Install(1, 1);
    HKEY key = 0;
    ASSERT_EQ(Registry().OpenKey(HKEY_LOCAL_MACHINE, soft.BasePath() + "\\ProductVersion",
                                 KEY_ALL_ACCESS, key),
              0);
    ASSERT_EQ(
        Registry().SetValue(key, "MajorVer", REG_SZ, reinterpret_cast<const std::uint8_t*>("1"), 2),
        0);
    Registry().CloseKey(key);
    PRODUCT_VERSION version;
    EXPECT_FALSE(ReadProductVersion(soft, version));
    EXPECT_EQ(g_errorInfo.GetCode(), kErrorInvalidData);
    EXPECT_EQ(g_errorInfo.GetPoints(), "TZEYCD7KFCU4LKN:57FVN85JBB5R85Y");
    EXPECT_NE(g_errorInfo.GetExt().find("STRG: [MajorVer]\r\nHKEY: HKLM\r\nSTRG: [" +
                                        soft.BasePath() + "\\ProductVersion]\r\n"),
              std::string::npos)
        << g_errorInfo.GetExt();
    INSTALL_FLAGS flags;
    EXPECT_EQ(CheckInstallation(soft, flags), -1);
    EXPECT_EQ(g_errorInfo.GetPoints(), "3TLTFQZGQW7YQAI:TZEYCD7KFCU4LKN:57FVN85JBB5R85Y");
}

TEST_F(InstallRecord, InstallDateNeedsAWholeSystemTime) {
    HKEY key = 0;
    ASSERT_EQ(Registry().CreateKey(HKEY_LOCAL_MACHINE, soft.BasePath(), KEY_ALL_ACCESS, key), 0);
    const std::uint8_t twelve[12] = {};
    ASSERT_EQ(Registry().SetValue(key, "InstDateLastVer", REG_BINARY, twelve, 12), 0);
    std::optional<std::uint64_t> date;
    EXPECT_FALSE(ReadInstallDate(soft, date));
    EXPECT_EQ(g_errorInfo.GetCode(), kErrorInvalidData);
    EXPECT_EQ(g_errorInfo.GetPoints(), "22EJIVMCKGH2Y4G");
    EXPECT_EQ(g_errorInfo.GetExt(), "0000: 0C000000" + std::string(19, ' ') + "....\r\n");
    // 2026-03-14 (Saturday) 08:05:33.250
    const std::uint8_t time[16] = {0xEA, 0x07, 3, 0, 6, 0, 14, 0, 8, 0, 5, 0, 33, 0, 250, 0};
    ASSERT_EQ(Registry().SetValue(key, "InstDateLastVer", REG_BINARY, time, 16), 0);
    ASSERT_TRUE(ReadInstallDate(soft, date));
    EXPECT_EQ(*date, 134179491332500000ull);
    std::string path;
    ASSERT_TRUE(ReadInstallPath(soft, "vzrmaud.exe", path));
    EXPECT_EQ(path, "");  // absent is no error
    Registry().CloseKey(key);
}

TEST_F(InstallRecord, OptionRecordIsBroughtUpToDateAndOptionsMove) {
    Install(1, 0);
    CMainOpt user;
    ASSERT_TRUE(user.ReadRegOpt(soft.BasePath(), HKEY_CURRENT_USER));
    user.SetOptStr("LogFold", "D:\\R\\");
    ASSERT_TRUE(user.WriteRegOpt());
    int shown = 0;
    static int* shownPtr = nullptr;
    shownPtr = &shown;
    auto show = [] { ++*shownPtr; };
    UpdateOptionVersion(soft, {1, 0, -1}, MoveProfilesKey, show);
    EXPECT_EQ(shown, 0);
    PRODUCT_VERSION stored;
    ASSERT_TRUE(ReadOptionVersion(soft, stored));
    EXPECT_EQ(stored.build, 414u);
    std::int32_t commonReg = -1, commonSet = -1;
    ASSERT_TRUE(ReadOptionFlags(soft, commonReg, commonSet));
    EXPECT_EQ(commonReg, 1);
    EXPECT_EQ(commonSet, 0);

    // The installation now shares options: they move to the machine hive.
    UpdateOptionVersion(soft, {1, 1, 1}, MoveProfilesKey, show);
    EXPECT_EQ(shown, 0);
    CMainOpt shared;
    ASSERT_TRUE(shared.ReadRegOpt(soft.BasePath(), HKEY_LOCAL_MACHINE));
    EXPECT_EQ(shared.GetOptStr("LogFold"), "D:\\R\\");
    EXPECT_EQ(CRegKeyHandle::KeyExists(HKEY_CURRENT_USER, soft.BasePath() + "\\Profiles", nullptr),
              0);
}

TEST_F(InstallRecord, OptionsAreNotLostWhenTheDestinationRefusesTheMove) {
    CMainOpt user;
    ASSERT_TRUE(user.ReadRegOpt(soft.BasePath(), HKEY_CURRENT_USER));
    user.SetOptStr("LogFold", "D:\\Keep\\");
    ASSERT_TRUE(user.WriteRegOpt());
    Install(1, 1);
    ASSERT_EQ(chmod(store.MachineFile().c_str(), 0444), 0);
    {
        // A fresh store sees the machine hive read-only, as a plain user does.
        posix::SqliteRegistry readOnly({store.MachineFile(), store.Dir().File("HKCU.db")});
        test::ScopedServices services({.registry = &readOnly});
        EXPECT_FALSE(MoveProfilesKey(soft, 0, 1));
        EXPECT_EQ(g_errorInfo.GetCode(), kErrorAccessDenied);
        EXPECT_EQ(g_errorInfo.GetPoints(), "ZIQVRKEMYOTODYM:PZOSKDUDXDDPUYU");
        CMainOpt again;
        ASSERT_TRUE(again.ReadRegOpt(soft.BasePath(), HKEY_CURRENT_USER));
        EXPECT_EQ(again.GetOptStr("LogFold"), "D:\\Keep\\");
    }
}

TEST_F(InstallRecord, KeyHandleReportsIntoItsRecord) {
    CErrorInfo record;
    CRegKeyHandle key(&record);
    std::uint32_t value = 0;
    EXPECT_FALSE(key.ReadDword("x", value));
    EXPECT_EQ(record.GetPoints(), "KVK7RJ6PH8F4L2E");
    EXPECT_EQ(record.GetCode(), kErrorInvalidParameter);
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, "Software\\Missing", KEY_QUERY_VALUE));
    EXPECT_EQ(record.GetPoints(), "WIAJNXUV4Y8A5X3");
    EXPECT_EQ(record.GetCode(), kErrorFileNotFound);
    EXPECT_EQ(record.GetExt(), "HKEY: HKCU\r\nSTRG: [Software\\Missing]\r\n0000: 01000000" +
                                   std::string(19, ' ') + "....\r\n");
    EXPECT_EQ(key.OpenIfExists(HKEY_CURRENT_USER, "Software\\Missing", KEY_QUERY_VALUE), 0);
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, "Software\\Made", KEY_ALL_ACCESS));
    EXPECT_EQ(key.ValueExists("Absent"), 0);
    EXPECT_EQ(key.ReadDwordIfExists("Absent", value), 0);
    ASSERT_TRUE(key.WriteDword("Here", 42));
    EXPECT_EQ(key.ReadDwordIfExists("Here", value), 1);
    EXPECT_EQ(value, 42u);
    std::string text;
    record.Clear();
    EXPECT_FALSE(key.ReadString("Here", text));
    EXPECT_EQ(record.GetPoints(), "KAK84M4WH4LL9XP");
    EXPECT_EQ(key.ReadBinary("Here", nullptr, 0), -1);
    EXPECT_EQ(record.GetPoints(), "9URFNH28VP5EKHS");
    EXPECT_FALSE(g_errorInfo.HasError());  // nothing went to the process-wide record
}

}  // namespace
}  // namespace vzrm

namespace vzrm {
namespace {

// The project's installation record, filled in as scripts/install.sh fills it.
TEST(InstallationReg, ImportedRecordPassesTheStartUpCheck) {
    test::ScopedRegistry store;
    std::ifstream in(std::string(VZRM_SOURCE_DIR) + "/resources/install/installation.reg.in");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    const std::pair<std::string, std::string> fields[] = {
        {"@INSTALL_DIR@", "/opt/vzrmaud/bin"},
        {"@INSTALL_DATE@", "ea,07,03,00,06,00,0e,00,08,00,05,00,21,00,00,00"},
        {"@COMMON_REG@", "00000001"},
        {"@COMMON_SET@", "00000001"},
        {"@SET_ACCESS@", "00000000"}};
    for (const auto& [field, value] : fields) {
        for (std::size_t at = text.find(field); at != std::string::npos;
             at = text.find(field, at)) {
            text.replace(at, field.size(), value);
        }
    }
    std::vector<formats::REG_FILE_CHANGE> changes;
    std::string error;
    ASSERT_TRUE(formats::ParseRegFile({text.begin(), text.end()}, changes, error)) << error;
    ASSERT_EQ(formats::ApplyRegFile(changes, error), 0) << error;
    const CSoftInst soft;
    INSTALL_FLAGS flags;
    g_errorInfo.Clear();
    EXPECT_EQ(CheckInstallation(soft, flags), 1) << g_errorInfo.Render();
    EXPECT_EQ(InstallLine(flags), "Install: Common app, Options for all, Access read (1,1,0)\r\n");
    std::string path;
    ASSERT_TRUE(ReadInstallPath(soft, "vzrmaud.exe", path));
    EXPECT_EQ(path, "/opt/vzrmaud/bin");
    std::optional<std::uint64_t> date;
    ASSERT_TRUE(ReadInstallDate(soft, date));
    EXPECT_EQ(*date, 134179491330000000ull);
}

}  // namespace
}  // namespace vzrm
