// Options and profiles on a real store in a temporary folder.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/error_codes.h"
#include "platform/services.h"
#include "settings/move_stored_options.h"
#include "settings/option_registry.h"
#include "settings/options_profiles.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

using namespace platform;

const std::string kApp = "Software\\Quorvix\\VelmoraZRMAuditor";
const std::string kProfiles = kApp + "\\Profiles";

class Options : public ::testing::Test {
  protected:
    void SetUp() override { g_errorInfo.Clear(); }

    void SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) {
        HKEY key = 0;
        ASSERT_EQ(Registry().CreateKey(HKEY_CURRENT_USER, path, KEY_ALL_ACCESS, key), 0);
        ASSERT_EQ(Registry().SetValue(key, name, type, data.data(),
                                      static_cast<std::uint32_t>(data.size())),
                  0);
        Registry().CloseKey(key);
    }

    test::ScopedRegistry store;
};

TEST_F(Options, FirstStartHasTheDefaultProfileAndTheGeneralOneOnFirstLookup) {
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_TRUE(options.AbsentAtLastRead());
    EXPECT_FALSE(g_errorInfo.HasError());
    EXPECT_EQ(options.Profiles().Find("ActiveProf")->ints[0], 0);
    EXPECT_EQ(options.FindProfile(0)->packs[0]->Find("NameProf")->strs[0], "DefaultProfile");
    EXPECT_EQ(options.FindProfile(kGeneralProfileId), nullptr);
    EXPECT_EQ(options.GetOptStr("LogFold"), "");
    ASSERT_NE(options.FindProfile(kGeneralProfileId), nullptr);
    ASSERT_TRUE(options.WriteRegOpt());
    CMainOpt again;
    ASSERT_TRUE(again.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_FALSE(again.AbsentAtLastRead());
    const COptItem* general = again.FindProfile(kGeneralProfileId);
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->packs[0]->Find("NameProf")->strs[0], "General profile (999999)");
    EXPECT_NE(general->packs[0]->Find("options"), nullptr);  // read back: names ignore case
}

TEST_F(Options, ActiveProfileFallsBackToTheFirstStoredOne) {
    SetValue(kProfiles, "ActiveProf", REG_DWORD, {9, 0, 0, 0});
    SetValue(kProfiles + "\\999999", "NameProf", REG_SZ, {'G', 0});
    SetValue(kProfiles + "\\5", "NameProf", REG_SZ, {'F', 'i', 'v', 'e', 0});
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(options.Profiles().Find("ActiveProf")->ints[0], 5);
    EXPECT_EQ(options.ActiveProfile()->name, "5");
}

TEST_F(Options, OnlyTheGeneralProfileStoredGivesADefaultProfile) {
    SetValue(kProfiles + "\\999999\\Options", "LogFold", REG_SZ, {'X', 0});
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(options.Profiles().Find("ActiveProf")->ints[0], 0);
    EXPECT_EQ(options.ActiveProfile()->name, "0");
    EXPECT_EQ(options.GetOptStr("LogFold"), "X");
}

TEST_F(Options, SettersReplaceAndLookupsPreferOverridesThenGeneralOptions) {
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    options.SetOptStr("Other", "o");
    options.SetOptStr("LogFold", "D:\\A\\");
    options.SetOptStr("Other2", "o2");
    options.SetOptStr("LogFold", "D:\\B\\");
    const auto& items = options.ProfileOptions().Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items.back()->name, "LogFold");
    EXPECT_EQ(options.GetOptStr("LogFold"), "D:\\B\\");
    options.SetOptStr("LogFold", "G:\\", true);
    EXPECT_EQ(options.GetOptStr("LogFold"), "G:\\");
    options.Overrides().Add(COptItem::Str("LogFold", "C:\\CommandLine\\"));
    EXPECT_EQ(options.GetOptStr("logfold"), "C:\\CommandLine\\");
    options.SetOptStr("", "ignored");
    EXPECT_EQ(options.ProfileOptions().Find(""), nullptr);

    const std::uint8_t date[8] = {0, 0, 0, 0, 0x40, 0x2B, 0xE6, 0x40};
    options.SetOptBin("LastDateProc", date, 8);
    std::uint8_t back[8] = {};
    EXPECT_EQ(options.GetOptBin("LastDateProc", back, 4), 8u);  // at most 4 copied
    EXPECT_EQ(back[3], 0);
    EXPECT_EQ(options.GetOptBin("LastDateProc", back, 8), 8u);
    EXPECT_EQ(std::memcmp(back, date, 8), 0);
    options.SetOptBin("LastDateProc", nullptr, 0);
    EXPECT_EQ(options.GetOptBin("LastDateProc", back, 8), 0u);
}

TEST_F(Options, StoredFormsReadBack) {
    // Three strings as REG_MULTI_SZ, a framed int list, a frame one byte short.
    SetValue(kProfiles + "\\0\\Options", "List", REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 'd', 0, 0});
    COptItem ints(OPT_INT, "Ints");
    ints.ints = {1, -2, 300};
    SetValue(kProfiles + "\\0\\Options", "Ints", REG_BINARY, FrameItem(ints, 0));
    std::vector<std::uint8_t> shortFrame = FrameItem(*COptItem::Bin("B", {1, 2, 3}), 0);
    shortFrame.pop_back();
    SetValue(kProfiles + "\\0\\Options", "Short", REG_BINARY, shortFrame);
    SetValue(kProfiles, "", REG_SZ, {'d', 'e', 'f', 0});
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    const COptPack& stored = options.ProfileOptions();
    EXPECT_EQ(stored.Find("List")->strs, (std::vector<std::string>{"a", "bc", "d"}));
    EXPECT_EQ(stored.Find("Ints")->type, OPT_INT);
    EXPECT_EQ(stored.Find("Ints")->ints, (std::vector<std::int32_t>{1, -2, 300}));
    EXPECT_EQ(stored.Find("Short")->type, OPT_BIN);
    EXPECT_EQ(stored.Find("Short")->bins[0], shortFrame);
    EXPECT_EQ(options.Profiles().Find(kUnnamedValue)->strs[0], "def");
    // And they are written back in the same forms.
    ASSERT_TRUE(options.WriteRegOpt());
    CMainOpt again;
    ASSERT_TRUE(again.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(again.ProfileOptions().Find("list")->strs.size(), 3u);
    EXPECT_EQ(again.ProfileOptions().Find("ints")->ints.size(), 3u);
}

TEST_F(Options, AStoredReportsFolderWithALineBreakIsRefused) {
    const auto text = [](const std::string& value) {
        std::vector<std::uint8_t> bytes(value.begin(), value.end());
        bytes.push_back(0);
        return bytes;
    };
    SetValue(kProfiles + "\\0\\Options", "LogFold", REG_SZ, text("/srv/reports/\nabc"));
    SetValue(kProfiles + "\\0\\Options", "NameProf", REG_SZ, text("two\r\nlines"));
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(options.GetOptStr("LogFold"), "") << "as if no folder had been chosen";
    EXPECT_EQ(options.GetOptStr("NameProf"), "two\r\nlines") << "other texts may hold them";
    SetValue(kProfiles + "\\0\\Options", "LogFold", REG_SZ, text("/srv/reports/"));
    CMainOpt again;
    ASSERT_TRUE(again.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(again.GetOptStr("logfold"), "/srv/reports/");
}

TEST_F(Options, FramesOfAnUnknownTypeFailTheRead) {
    std::vector<std::uint8_t> frame = FrameItem(*COptItem::Bin("B", {1}), 0);
    frame[4] = 9;
    SetValue(kProfiles, "Odd", REG_BINARY, frame);
    CMainOpt options;
    EXPECT_FALSE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(g_errorInfo.GetPoints(), "RZK7VW47FGGSBNA");
    EXPECT_EQ(g_errorInfo.GetCode(), kErrorInvalidData);
    EXPECT_NE(g_errorInfo.GetExt().find("STRG: [" + kProfiles + "]\r\nHKEY: HKCU\r\n"),
              std::string::npos);
}

TEST_F(Options, WritingReplacesStaleKeysAndAFailedWriteKeepsThePreviousPack) {
    SetValue(kProfiles + "\\Stale\\Deeper", "Old", REG_DWORD, {1, 0, 0, 0});
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    options.Profiles().Remove("Stale");
    options.SetOptStr("LogFold", "D:\\R\\");
    ASSERT_TRUE(options.WriteRegOpt());
    HKEY key = 0;
    EXPECT_EQ(Registry().OpenKey(HKEY_CURRENT_USER, kProfiles + "\\Stale", KEY_READ, key),
              kErrorFileNotFound);

    // An item that cannot be stored fails the write before anything changes.
    options.ProfileOptions().Add(COptItem::Str("", "nameless"));
    EXPECT_FALSE(options.WriteRegOpt());
    EXPECT_EQ(g_errorInfo.GetPoints(), "7BPMSXEP5EIUGFE");
    EXPECT_EQ(g_errorInfo.GetCode(), kErrorInvalidData);
    CMainOpt stored;
    ASSERT_TRUE(stored.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(stored.GetOptStr("LogFold"), "D:\\R\\");
}

// A subkey the read skips (a value name with a backslash makes it unreadable)
// is another program's or a damaged key: writing the options keeps it whole,
// a pack of the same name is not written over it, and moving the options
// between hives refuses rather than delete it with the source.
TEST_F(Options, KeysTheReadSkipsSurviveWritesAndMoves) {
    SetValue(kProfiles + "\\0\\Options", "LogFold", REG_SZ, {'D', ':', '\\', 0});
    SetValue(kProfiles + "\\Foreign", "Keep", REG_DWORD, {7, 0, 0, 0});
    SetValue(kProfiles + "\\Foreign", "a\\b", REG_SZ, {'z', 0});
    SetValue(kProfiles + "\\Foreign\\Inner", "Deep", REG_DWORD, {8, 0, 0, 0});
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    options.SetOptStr("LogFold", "E:\\");
    ASSERT_TRUE(options.WriteRegOpt());
    for (const char* kept : {"\\Foreign", "\\Foreign\\Inner"}) {
        HKEY key = 0;
        ASSERT_EQ(Registry().OpenKey(HKEY_CURRENT_USER, kProfiles + kept, KEY_READ, key), 0)
            << kept;
        Registry().CloseKey(key);
    }
    HKEY foreign = 0;
    ASSERT_EQ(Registry().OpenKey(HKEY_CURRENT_USER, kProfiles + "\\Foreign", KEY_READ, foreign), 0);
    std::uint32_t size = 0;
    EXPECT_EQ(Registry().QueryValue(foreign, "a\\b", nullptr, nullptr, size), 0);
    EXPECT_EQ(Registry().QueryValue(foreign, "Keep", nullptr, nullptr, size), 0);
    Registry().CloseKey(foreign);
    CMainOpt again;
    ASSERT_TRUE(again.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(again.GetOptStr("LogFold"), "E:\\");

    again.Profiles().Add(COptItem::Pack("Foreign", std::make_unique<COptPack>()));
    EXPECT_FALSE(again.WriteRegOpt());
    EXPECT_EQ(g_errorInfo.GetCode(), kErrorInvalidData);

    g_errorInfo.Clear();
    EXPECT_FALSE(MoveRegistryKey(HKEY_CURRENT_USER, kProfiles, HKEY_LOCAL_MACHINE, kProfiles));
    EXPECT_EQ(g_errorInfo.GetPoints(), "PSCMQFKNQOIBRAG");
    HKEY source = 0;
    ASSERT_EQ(
        Registry().OpenKey(HKEY_CURRENT_USER, kProfiles + "\\Foreign\\Inner", KEY_READ, source), 0);
    Registry().CloseKey(source);
}

// The profiles key itself unreadable is a failed read, not an absent key that
// the next write would replace with defaults.
TEST_F(Options, AnUnreadableProfilesKeyFailsTheReadAndIsNotWrittenOver) {
    SetValue(kProfiles + "\\0\\Options", "LogFold", REG_SZ, {'D', ':', '\\', 0});
    SetValue(kProfiles, "x\\y", REG_SZ, {'z', 0});
    CMainOpt options;
    EXPECT_FALSE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(g_errorInfo.GetPoints(), "RZK7VW47FGGSBNA");
    EXPECT_FALSE(options.WriteRegOpt());
    HKEY key = 0;
    ASSERT_EQ(Registry().OpenKey(HKEY_CURRENT_USER, kProfiles + "\\0\\Options", KEY_READ, key), 0);
    std::uint32_t size = 0;
    EXPECT_EQ(Registry().QueryValue(key, "LogFold", nullptr, nullptr, size), 0);
    Registry().CloseKey(key);
}

// The store in force, counting the calls that change it.
class CountingRegistry : public IRegistry {
  public:
    explicit CountingRegistry(IRegistry& store) : store_(store) {}
    std::int32_t CreateKey(HKEY parent, const std::string& subkey, std::uint32_t access, HKEY& key,
                           bool* created = nullptr) override {
        ++changes;
        return store_.CreateKey(parent, subkey, access, key, created);
    }
    std::int32_t OpenKey(HKEY parent, const std::string& subkey, std::uint32_t access,
                         HKEY& key) override {
        return store_.OpenKey(parent, subkey, access, key);
    }
    std::int32_t CloseKey(HKEY key) override { return store_.CloseKey(key); }
    std::int32_t QueryValue(HKEY key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t& size) override {
        return store_.QueryValue(key, name, type, data, size);
    }
    std::int32_t SetValue(HKEY key, const std::string& name, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override {
        ++changes;
        return store_.SetValue(key, name, type, data, size);
    }
    std::int32_t DeleteValue(HKEY key, const std::string& name) override {
        ++changes;
        return store_.DeleteValue(key, name);
    }
    std::int32_t EnumKey(HKEY key, std::uint32_t index, std::string& name) override {
        return store_.EnumKey(key, index, name);
    }
    std::int32_t EnumValue(HKEY key, std::uint32_t index, std::string& name, std::uint32_t& type,
                           std::vector<std::uint8_t>& data) override {
        return store_.EnumValue(key, index, name, type, data);
    }
    std::int32_t DeleteKey(HKEY parent, const std::string& subkey) override {
        ++changes;
        return store_.DeleteKey(parent, subkey);
    }
    std::int32_t DeleteTree(HKEY parent, const std::string& subkey) override {
        ++changes;
        return store_.DeleteTree(parent, subkey);
    }
    std::int32_t Transaction(HKEY key, const std::function<std::int32_t()>& change) override {
        return store_.Transaction(key, change);
    }
    int changes = 0;

  private:
    IRegistry& store_;
};

// A run writes its options at its start: unchanged, they cost the store
// nothing. Anything that differs from what a write would leave is written.
TEST_F(Options, OptionsTheStoreHoldsAlreadyAreNotWrittenAgain) {
    CountingRegistry counting(store.Registry());
    const test::ScopedServices services({.registry = &counting});
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    options.SetOptStr("LogFold", "/srv/reports/");
    options.ProfileOptions().Add(COptItem::Int("RunMin", 1));
    ASSERT_TRUE(options.WriteRegOpt());
    EXPECT_GT(counting.changes, 0);

    counting.changes = 0;
    ASSERT_TRUE(options.WriteRegOpt());
    EXPECT_EQ(counting.changes, 0);
    CMainOpt reread;
    ASSERT_TRUE(reread.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    ASSERT_TRUE(reread.WriteRegOpt());
    EXPECT_EQ(counting.changes, 0) << "a pack read back is the pack written";

    const std::string optionsKey = kProfiles + "\\0\\Options";
    const auto typeOf = [&](const std::string& name) {
        HKEY key = 0;
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        EXPECT_EQ(Registry().OpenKey(HKEY_CURRENT_USER, optionsKey, KEY_READ, key), 0);
        EXPECT_EQ(Registry().QueryValue(key, name, &type, nullptr, size), 0);
        Registry().CloseKey(key);
        return type;
    };
    const std::string folder = "/srv/reports/";
    const std::vector<std::uint8_t> text(folder.c_str(), folder.c_str() + folder.size() + 1);
    // The same text under another type, a value the pack does not have, a
    // subkey whose name differs only in case: each is written over.
    for (int change = 0; change < 3; ++change) {
        if (change == 0) {
            SetValue(optionsKey, "LogFold", REG_EXPAND_SZ, text);
        } else if (change == 1) {
            SetValue(optionsKey, "Stray", REG_DWORD, {1, 0, 0, 0});
        } else {
            ASSERT_EQ(Registry().DeleteTree(HKEY_CURRENT_USER, optionsKey), 0);
            SetValue(kProfiles + "\\0\\options", "LogFold", REG_SZ, text);
        }
        counting.changes = 0;
        ASSERT_TRUE(options.WriteRegOpt());
        EXPECT_GT(counting.changes, 0) << "change " << change;
        counting.changes = 0;
        ASSERT_TRUE(options.WriteRegOpt());
        EXPECT_EQ(counting.changes, 0) << "change " << change;
    }
    EXPECT_EQ(typeOf("LogFold"), REG_SZ);
    std::string name;
    HKEY key = 0;
    ASSERT_EQ(Registry().OpenKey(HKEY_CURRENT_USER, kProfiles + "\\0", KEY_READ, key), 0);
    EXPECT_EQ(Registry().EnumKey(key, 0, name), 0);
    Registry().CloseKey(key);
    EXPECT_EQ(name, "Options");
}

TEST_F(Options, DumpTextSortsAndShowsEveryType) {
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    options.ProfileOptions().Add(COptItem::Int("Ten", 10));
    options.ProfileOptions().Add(COptItem::Int("Nine", 9));
    options.ProfileOptions().Add(COptItem::Int("Minus", -20));
    options.ProfileOptions().Add(COptItem::Bin("Bytes", {0x41, 0x01, 0xFF}));
    auto list = std::make_unique<COptItem>(OPT_STR, "List");
    list->strs = {"a", "b"};
    options.ProfileOptions().Add(std::move(list));
    const std::string text = options.DumpText();
    EXPECT_EQ(text,
              "pack[0] \r\n"
              "------------------------------\r\n"
              "  \"0\" pack \r\n"
              "  ------------------------------\r\n"
              "    \"Options\" pack \r\n"
              "    ------------------------------\r\n"
              "      \"Bytes\" (3) = 41 01 FF  [A.\xFF]\r\n"
              "      \"List\" str (2)\r\n"
              "      [0] = \"a\"\r\n"
              "      [1] = \"b\"\r\n"
              "      \"Minus\" = -20\r\n"
              "      \"Nine\" = 9\r\n"
              "      \"Ten\" = 10 (0xA)\r\n"
              "    \"NameProf\" = \"DefaultProfile\"\r\n"
              "  \"ActiveProf\" = 0\r\n");
}

TEST_F(Options, MutexNameFollowsTheRootAndPath) {
    CMainOpt options;
    ASSERT_TRUE(options.ReadRegOpt(kApp, HKEY_CURRENT_USER));
    EXPECT_EQ(options.MutexName(), "HKCU_SOFTWARE_QUORVIX_VELMORAZRMAUDITOR_PROFILES_ZRMOPT");
}

TEST(OptionPack, CloneIsDeepAndSortPutsPacksFirst) {
    COptPack pack;
    pack.Add(COptItem::Int("b", 1));
    auto inner = std::make_unique<COptPack>();
    inner->Add(COptItem::Str("z", "1"));
    inner->Add(COptItem::Str("A", "2"));
    pack.Add(COptItem::Pack("p", std::move(inner)));
    pack.Add(COptItem::Int("B", 2));
    auto copy = pack.Clone();
    pack.Find("p")->packs[0]->Add(COptItem::Int("new", 3));
    EXPECT_EQ(copy->Find("p")->packs[0]->Count(), 2u);
    copy->Sort();
    std::vector<std::string> names;
    for (const auto& item : copy->Items()) {
        names.push_back(item->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"p", "B", "b"}));
    EXPECT_EQ(copy->Find("p")->packs[0]->Items()[0]->name, "A");
    EXPECT_EQ(copy->Find("P"), nullptr);  // a new pack compares names exactly
}

}  // namespace
}  // namespace vzrm
