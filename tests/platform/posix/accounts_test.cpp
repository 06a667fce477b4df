#include "platform/accounts.h"

#include <gtest/gtest.h>

#include "formats/binxml_value_text.h"
#include "platform/error_codes.h"
#include "platform/services.h"
#include "support/scoped_registry.h"

namespace vzrm {
namespace {

using namespace platform;

std::vector<std::uint8_t> Sid(const char* text) {
    std::vector<std::uint8_t> sid;
    EXPECT_TRUE(formats::SidFromText(text, sid));
    return sid;
}

TEST(Accounts, WellKnownMappedAndUnknownSids) {
    test::ScopedRegistry store;
    std::string name;
    std::string domain;
    ASSERT_EQ(LookupAccountSid(Sid("S-1-5-18"), name, domain), 0);
    EXPECT_EQ(name, "SYSTEM");
    EXPECT_EQ(domain, "NT AUTHORITY");
    const char* user = "S-1-5-21-1004336348-1177238915-682003330-1001";
    EXPECT_EQ(LookupAccountSid(Sid(user), name, domain), kErrorNoneMapped);
    HKEY key = 0;
    ASSERT_EQ(Registry().CreateKey(HKEY_LOCAL_MACHINE, std::string(kAccountsKey) + "\\" + user,
                                   KEY_ALL_ACCESS, key),
              0);
    ASSERT_EQ(Registry().SetValue(key, "Name", REG_SZ,
                                  reinterpret_cast<const std::uint8_t*>("operator"), 9),
              0);
    ASSERT_EQ(Registry().SetValue(key, "Domain", REG_SZ,
                                  reinterpret_cast<const std::uint8_t*>("RECSITE"), 8),
              0);
    Registry().CloseKey(key);
    ASSERT_EQ(LookupAccountSid(Sid(user), name, domain), 0);
    EXPECT_EQ(name, "operator");
    EXPECT_EQ(domain, "RECSITE");
    EXPECT_EQ(LookupAccountSid(std::vector<std::uint8_t>{1, 2}, name, domain),
              kErrorInvalidParameter);
}

}  // namespace
}  // namespace vzrm
