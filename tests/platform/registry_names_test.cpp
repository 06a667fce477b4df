// The names of the registry's predefined roots.
#include <gtest/gtest.h>

#include "platform/registry.h"

namespace vzrm::platform {
namespace {

TEST(RegistryRootName, PredefinedRootsOnly) {
    EXPECT_EQ(RegistryRootName(HKEY_CLASSES_ROOT), "HKCR");
    EXPECT_EQ(RegistryRootName(HKEY_CURRENT_USER), "HKCU");
    EXPECT_EQ(RegistryRootName(HKEY_LOCAL_MACHINE), "HKLM");
    EXPECT_EQ(RegistryRootName(HKEY_USERS), "HKUS");
    EXPECT_EQ(RegistryRootName(HKEY_PERFORMANCE_DATA), "HKPD");
    EXPECT_EQ(RegistryRootName(HKEY_CURRENT_CONFIG), "HKCC");
    EXPECT_EQ(RegistryRootName(HKEY_DYN_DATA), "HKDD");
    EXPECT_EQ(RegistryRootName(HKEY_PERFORMANCE_TEXT), "HKPT");
    EXPECT_EQ(RegistryRootName(HKEY_PERFORMANCE_NLSTEXT), "HKPN");
    EXPECT_EQ(RegistryRootName(0x80000006LL), "HKDD");  // zero-extended form
    EXPECT_EQ(RegistryRootName(0x80000007LL), "");
    EXPECT_EQ(RegistryRootName(0x1234), "");
    EXPECT_EQ(RegistryRootName(0), "");
}

TEST(RegistryRootName, FullNamesOfTheTwoHives) {
    EXPECT_EQ(RegistryRootFullName(HKEY_LOCAL_MACHINE), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(RegistryRootFullName(HKEY_CURRENT_USER), "HKEY_CURRENT_USER");
    EXPECT_EQ(RegistryRootFullName(0x1234), "");
}

}  // namespace
}  // namespace vzrm::platform
