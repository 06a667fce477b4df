// Which file is the Security log: the environment's choice, else the File
// value an installation keeps in the store.
#include "platform/posix/eventlog/log_location.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"
#include "support/fake_services.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

using namespace platform;

void SetFile(test::ScopedRegistry& store, std::uint32_t type, const std::string& text) {
    HKEY key = 0;
    ASSERT_EQ(store.Registry().CreateKey(HKEY_LOCAL_MACHINE,
                                         std::string(posix::kEventLogKey) + "\\Security",
                                         KEY_ALL_ACCESS, key),
              0);
    ASSERT_EQ(store.Registry().SetValue(key, "File", type,
                                        reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                        static_cast<std::uint32_t>(text.size() + 1)),
              0);
    store.Registry().CloseKey(key);
}

TEST(LogLocation, TheEnvironmentWinsOverTheStoredFile) {
    test::ScopedRegistry store;
    test::ScopedEnv log("VZRM_SECURITY_LOG", nullptr);
    EXPECT_EQ(posix::LogFilePath("Security"), "") << "no store value, no variable";

    SetFile(store, REG_SZ, "/var/lib/vzrmaud/Security.evtx");
    EXPECT_EQ(posix::LogFilePath("Security"), "/var/lib/vzrmaud/Security.evtx");
    EXPECT_EQ(posix::LogFilePath("Application"), "") << "another channel has a key of its own";

    test::ScopedEnv named("VZRM_SECURITY_LOG", "/srv/logs/Security.evtx");
    EXPECT_EQ(posix::LogFilePath("Security"), "/srv/logs/Security.evtx");
}

// The form Windows stores: an expandable text with a Windows path.
TEST(LogLocation, AStoredWindowsPathIsExpandedAndMapped) {
    test::ScopedRegistry store;
    test::ScopedEnv log("VZRM_SECURITY_LOG", nullptr);
    test::ScopedEnv data("VZRM_DATA_DIR", store.Dir().Path().c_str());
    SetFile(store, REG_EXPAND_SZ, "%SystemRoot%\\System32\\winevt\\Logs\\Security.evtx");
    EXPECT_EQ(posix::LogFilePath("Security"),
              store.Dir().Path().string() + "/System32/winevt/Logs/Security.evtx");

    // Not expandable: the percent signs are part of the name.
    SetFile(store, REG_SZ, "/logs/%SystemRoot%.evtx");
    EXPECT_EQ(posix::LogFilePath("Security"), "/logs/%SystemRoot%.evtx");
}

TEST(LogLocation, AValueThatIsNoTextGivesNoFile) {
    test::ScopedRegistry store;
    test::ScopedEnv log("VZRM_SECURITY_LOG", nullptr);
    HKEY key = 0;
    ASSERT_EQ(store.Registry().CreateKey(HKEY_LOCAL_MACHINE,
                                         std::string(posix::kEventLogKey) + "\\Security",
                                         KEY_ALL_ACCESS, key),
              0);
    const std::uint32_t number = 7;
    ASSERT_EQ(store.Registry().SetValue(key, "File", REG_DWORD,
                                        reinterpret_cast<const std::uint8_t*>(&number), 4),
              0);
    store.Registry().CloseKey(key);
    EXPECT_EQ(posix::LogFilePath("Security"), "");
    SetFile(store, REG_SZ, "");
    EXPECT_EQ(posix::LogFilePath("Security"), "");
}

}  // namespace
}  // namespace vzrm
