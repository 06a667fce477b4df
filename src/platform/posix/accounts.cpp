#include "platform/accounts.h"

#include <vector>

#include "formats/binxml_value_text.h"
#include "platform/error_codes.h"
#include "platform/services.h"

namespace vzrm::platform {
namespace {

struct WellKnown {
    const char* sid;
    const char* name;
    const char* domain;
};

const WellKnown kWellKnown[] = {
    {"S-1-1-0", "Everyone", ""},
    {"S-1-2-0", "LOCAL", ""},
    {"S-1-3-0", "CREATOR OWNER", ""},
    {"S-1-5-2", "NETWORK", "NT AUTHORITY"},
    {"S-1-5-4", "INTERACTIVE", "NT AUTHORITY"},
    {"S-1-5-6", "SERVICE", "NT AUTHORITY"},
    {"S-1-5-7", "ANONYMOUS LOGON", "NT AUTHORITY"},
    {"S-1-5-11", "Authenticated Users", "NT AUTHORITY"},
    {"S-1-5-18", "SYSTEM", "NT AUTHORITY"},
    {"S-1-5-19", "LOCAL SERVICE", "NT AUTHORITY"},
    {"S-1-5-20", "NETWORK SERVICE", "NT AUTHORITY"},
    {"S-1-5-32-544", "Administrators", "BUILTIN"},
    {"S-1-5-32-545", "Users", "BUILTIN"},
    {"S-1-5-32-546", "Guests", "BUILTIN"},
    {"S-1-5-32-551", "Backup Operators", "BUILTIN"},
};

std::int32_t ReadText(HKEY key, const char* name, std::string& text) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (const std::int32_t error = Registry().QueryValue(key, name, &type, nullptr, size)) {
        return error;
    }
    std::vector<std::uint8_t> data(size);
    if (const std::int32_t error = Registry().QueryValue(key, name, nullptr, data.data(), size)) {
        return error;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return kErrorInvalidData;
    }
    text.assign(data.begin(), data.end());
    text = text.substr(0, text.find('\0'));
    return kErrorSuccess;
}

}  // namespace

std::int32_t LookupAccountSid(std::span<const std::uint8_t> sid, std::string& name,
                              std::string& domain) {
    const std::string text = formats::SidText(sid.data(), sid.size());
    if (text.empty()) {
        return kErrorInvalidParameter;
    }
    for (const WellKnown& known : kWellKnown) {
        if (text == known.sid) {
            name = known.name;
            domain = known.domain;
            return kErrorSuccess;
        }
    }
    HKEY key = 0;
    if (Registry().OpenKey(HKEY_LOCAL_MACHINE, std::string(kAccountsKey) + "\\" + text,
                           KEY_QUERY_VALUE, key) != 0) {
        return kErrorNoneMapped;
    }
    std::string mappedName;
    std::string mappedDomain;
    const std::int32_t error = ReadText(key, "Name", mappedName);
    ReadText(key, "Domain", mappedDomain);
    Registry().CloseKey(key);
    if (error != kErrorSuccess || mappedName.empty()) {
        return kErrorNoneMapped;
    }
    name = mappedName;
    domain = mappedDomain;
    return kErrorSuccess;
}

}  // namespace vzrm::platform
