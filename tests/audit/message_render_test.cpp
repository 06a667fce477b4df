// Rendering classic messages from the project's own message files, found
// through the store's event-source registration and Windows-style paths.
#include "audit/message_render.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "audit/event_fields.h"
#include "formats/binxml_value_text.h"
#include "platform/services.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

using namespace platform;

class MessageRender : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::filesystem::path system = store.Dir().Path() / "Windows" / "System32";
        std::filesystem::create_directories(system);
        const std::string source = std::string(VZRM_SOURCE_DIR) + "/resources/messages/";
        // Names in another case than the registry writes them.
        std::filesystem::copy_file(source + "security.mc", system / "SECURITY.MC");
        std::filesystem::copy_file(source + "parameters.mc", system / "Parameters.mc");
        test::WriteFile((system / "empty.mc").string(), "; no messages\r\n");
        Register("%SystemRoot%\\system32\\empty.mc;%SystemRoot%\\System32\\security.mc",
                 "%SystemRoot%\\system32\\parameters.mc");
    }

    void Register(const std::string& events, const std::string& parameters) {
        HKEY key = 0;
        ASSERT_EQ(Registry().CreateKey(
                      HKEY_LOCAL_MACHINE,
                      "SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Security\\Security",
                      KEY_ALL_ACCESS, key),
                  0);
        EXPECT_EQ(Registry().SetValue(key, "EventMessageFile", REG_EXPAND_SZ,
                                      reinterpret_cast<const std::uint8_t*>(events.c_str()),
                                      static_cast<std::uint32_t>(events.size() + 1)),
                  0);
        EXPECT_EQ(Registry().SetValue(key, "ParameterMessageFile", REG_EXPAND_SZ,
                                      reinterpret_cast<const std::uint8_t*>(parameters.c_str()),
                                      static_cast<std::uint32_t>(parameters.size() + 1)),
                  0);
        Registry().CloseKey(key);
    }

    test::ScopedRegistry store;
    test::ScopedEnv root{"SystemRoot", (store.Dir().Path() / "Windows").c_str()};
};

TEST_F(MessageRender, SecondFileOfTheListGivesTheMessageWithParametersExpanded) {
    CModuleHandleCache modules;
    const std::vector<std::string> strings = {"Security",
                                              "420",
                                              "File",
                                              "1720",
                                              "C:\\Rec\\pramvoxe.exe",
                                              "%%4416 %%4417 %%9999",
                                              "0x3",
                                              "operator",
                                              "RECPC",
                                              "(0x0,0x3E7)"};
    const std::string message = RenderClassicMessage("Security", "Security", 567, strings, modules);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(GetEventTextField(message, kLabelAccessMask),
              "ReadData (or ListDirectory) WriteData (or AddFile) %%9999");
    EXPECT_EQ(GetEventTextField(message, kLabelAccountName), "operator");
    EXPECT_EQ(GetEventTextField(message, kLabelHandleId), "420");
    EXPECT_EQ(GetEventTextField(message, kLabelImageFileName), "C:\\Rec\\pramvoxe.exe");
    EXPECT_EQ(ClassifyAuditEvent(message, 567, true), ACTION_WRITE);
    EXPECT_EQ(modules.Count(), 3u);  // both event files and the parameter file stay loaded
}

TEST_F(MessageRender, MissingInsertsAndMissingRegistrations) {
    CModuleHandleCache modules;
    const std::string message =
        RenderClassicMessage("Security", "Security", 562, {"Security", "420"}, modules);
    EXPECT_EQ(GetEventTextField(message, kLabelHandleId), "420");
    EXPECT_EQ(GetEventTextField(message, kLabelAccountName), "");  // null argument: empty insert
    EXPECT_EQ(RenderClassicMessage("Security", "Nobody", 562, {}, modules), "");
    EXPECT_EQ(RenderClassicMessage("Security", "Security", 9999, {}, modules), "");
    Register("%SystemRoot%\\system32\\missing.dll", "");
    CModuleHandleCache fresh;
    EXPECT_EQ(RenderClassicMessage("Security", "Security", 562, {}, fresh), "");
    EXPECT_EQ(fresh.Count(), 0u);  // a module that did not load is not cached
    std::string error;
    EXPECT_EQ(LoadMessageModule("%SystemRoot%\\system32\\missing.dll", error), 0u);
    EXPECT_EQ(error.rfind("LoadLibraryEx err: 126 [", 0), 0u) << error;
}

TEST_F(MessageRender, AccountNamesOfSids) {
    std::vector<std::uint8_t> sid;
    ASSERT_TRUE(formats::SidFromText("S-1-5-21-1-2-3-1001", sid));
    EXPECT_EQ(GetAccountNameOfSid(sid, "RECPC"), "N/M");
    HKEY key = 0;
    ASSERT_EQ(Registry().CreateKey(HKEY_LOCAL_MACHINE, "SECURITY\\Accounts\\S-1-5-21-1-2-3-1001",
                                   KEY_ALL_ACCESS, key),
              0);
    EXPECT_EQ(
        Registry().SetValue(key, "Name", REG_SZ, reinterpret_cast<const std::uint8_t*>("jane"), 5),
        0);
    EXPECT_EQ(Registry().SetValue(key, "Domain", REG_SZ,
                                  reinterpret_cast<const std::uint8_t*>("RECSITE"), 8),
              0);
    Registry().CloseKey(key);
    EXPECT_EQ(GetAccountNameOfSid(sid, "RECPC"), "RECSITE\\jane");
    EXPECT_EQ(GetAccountNameOfSid(sid, "RECSITE"), "jane");  // an account of the computer itself
}

TEST(ModuleHandleCache, TheFiftyFirstFileFreesTheFirst) {
    test::ScopedRegistry store;
    for (int i = 0; i < 51; ++i) {
        test::WriteFile(store.Dir().File("m" + std::to_string(i) + ".mc"),
                        "MessageId=1\nLanguage=English\nx\n.\n");
    }
    CModuleHandleCache modules;
    std::string error;
    HMODULE first = 0;
    for (int i = 0; i < 51; ++i) {
        const std::string name = store.Dir().File("m" + std::to_string(i) + ".mc");
        const HMODULE module = LoadMessageModule(name, error);
        ASSERT_NE(module, 0u) << error;
        first = i == 0 ? module : first;
        modules.Add(name, module);
    }
    EXPECT_EQ(modules.Lookup(store.Dir().File("m0.mc")), std::nullopt);
    std::string text;
    EXPECT_NE(MessageFiles().FindMessage(first, 1, text), 0);  // freed
    EXPECT_EQ(modules.Lookup(store.Dir().File("M1.MC")), modules.Lookup(store.Dir().File("m1.mc")));
}

}  // namespace
}  // namespace vzrm
