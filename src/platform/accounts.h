// Account names of SIDs: the well-known SIDs, then an account map kept in the
// store under HKLM\SECURITY\Accounts\<SID> (values "Name" and "Domain",
// editable with vzrmreg); 1332 (none mapped) for the rest.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vzrm::platform {

std::int32_t LookupAccountSid(std::span<const std::uint8_t> sid, std::string& name,
                              std::string& domain);

// The store's key of the account map.
inline constexpr char kAccountsKey[] = "SECURITY\\Accounts";

}  // namespace vzrm::platform
