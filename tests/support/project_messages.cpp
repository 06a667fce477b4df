#include "support/project_messages.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/event_log.h"
#include "platform/services.h"

namespace vzrm::test {
using namespace platform;

void SetRegistryText(HKEY root, const std::string& path, const std::string& name,
                     const std::string& value) {
    HKEY key = 0;
    ASSERT_EQ(Registry().CreateKey(root, path, KEY_ALL_ACCESS, key), 0);
    ASSERT_EQ(Registry().SetValue(key, name, REG_EXPAND_SZ,
                                  reinterpret_cast<const std::uint8_t*>(value.c_str()),
                                  static_cast<std::uint32_t>(value.size() + 1)),
              0);
    Registry().CloseKey(key);
}

ProjectMessages::ProjectMessages(const ScopedRegistry& store)
    : systemRoot_("SystemRoot", (store.Dir().Path() / "Windows").c_str()) {
    const std::filesystem::path system = store.Dir().Path() / "Windows" / "system32";
    std::filesystem::create_directories(system);
    for (const char* file : {"security.mc", "parameters.mc", "auditing.mc"}) {
        std::filesystem::copy_file(std::string(VZRM_SOURCE_DIR) + "/resources/messages/" + file,
                                   system / file, std::filesystem::copy_options::skip_existing);
    }
    const std::string source = "SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Security\\Security";
    SetRegistryText(HKEY_LOCAL_MACHINE, source, "EventMessageFile",
                    "%SystemRoot%\\system32\\security.mc");
    SetRegistryText(HKEY_LOCAL_MACHINE, source, "ParameterMessageFile",
                    "%SystemRoot%\\system32\\parameters.mc");
    const std::string publisher =
        std::string(kPublishersKey) + "\\{54849625-5478-4994-a5ba-3e3b0328c30d}";
    SetRegistryText(HKEY_LOCAL_MACHINE, publisher, "", "Microsoft-Windows-Security-Auditing");
    SetRegistryText(HKEY_LOCAL_MACHINE, publisher, "MessageFileName",
                    "%SystemRoot%\\system32\\auditing.mc");
    SetRegistryText(HKEY_LOCAL_MACHINE, publisher, "ParameterFileName",
                    "%SystemRoot%\\system32\\parameters.mc");
    const std::string account = "SECURITY\\Accounts\\S-1-5-21-1004336348-1177238915-682003330-1001";
    SetRegistryText(HKEY_LOCAL_MACHINE, account, "Name", "operator");
    SetRegistryText(HKEY_LOCAL_MACHINE, account, "Domain", "RECPC");
}

}  // namespace vzrm::test
