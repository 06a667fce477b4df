// The registry: two hives (HKLM, HKCU) of keys and typed values, with the
// semantics of the Windows calls the settings code relies on. Every call
// returns 0 or a Windows error code (2 not found, 5 access denied, 13 invalid
// data, 87 invalid parameter, 234 more data, 259 no more items).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vzrm::platform {

// Predefined roots are the Windows handle values (HKEY_LOCAL_MACHINE is
// 0x80000002 sign-extended); opened keys get other values.
using HKEY = std::int64_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = static_cast<std::int32_t>(0x80000000u);
inline constexpr HKEY HKEY_CURRENT_USER = static_cast<std::int32_t>(0x80000001u);
inline constexpr HKEY HKEY_LOCAL_MACHINE = static_cast<std::int32_t>(0x80000002u);
inline constexpr HKEY HKEY_USERS = static_cast<std::int32_t>(0x80000003u);
inline constexpr HKEY HKEY_PERFORMANCE_DATA = static_cast<std::int32_t>(0x80000004u);
inline constexpr HKEY HKEY_CURRENT_CONFIG = static_cast<std::int32_t>(0x80000005u);
inline constexpr HKEY HKEY_DYN_DATA = static_cast<std::int32_t>(0x80000006u);
inline constexpr HKEY HKEY_PERFORMANCE_TEXT = static_cast<std::int32_t>(0x80000050u);
inline constexpr HKEY HKEY_PERFORMANCE_NLSTEXT = static_cast<std::int32_t>(0x80000060u);

// The predefined roots and their names: the short one of error records
// ("HKLM"), the full one of .reg files and the tools ("HKEY_LOCAL_MACHINE").
struct REGISTRY_ROOT {
    HKEY handle;
    const char* shortName;
    const char* fullName;
};
inline constexpr REGISTRY_ROOT kRegistryRoots[] = {
    {HKEY_CLASSES_ROOT, "HKCR", "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKCU", "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKLM", "HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, "HKUS", "HKEY_USERS"},
    {HKEY_PERFORMANCE_DATA, "HKPD", "HKEY_PERFORMANCE_DATA"},
    {HKEY_CURRENT_CONFIG, "HKCC", "HKEY_CURRENT_CONFIG"},
    {HKEY_DYN_DATA, "HKDD", "HKEY_DYN_DATA"},
    {HKEY_PERFORMANCE_TEXT, "HKPT", "HKEY_PERFORMANCE_TEXT"},
    {HKEY_PERFORMANCE_NLSTEXT, "HKPN", "HKEY_PERFORMANCE_NLSTEXT"},
};
// The predefined root with this handle, or null. A handle may arrive
// zero-extended from a 32-bit value; both forms name the root.
constexpr const REGISTRY_ROOT* FindRegistryRoot(HKEY handle) {
    if (handle >= 0x80000000LL && handle <= 0xFFFFFFFFLL) {
        handle = static_cast<std::int32_t>(static_cast<std::uint32_t>(handle));
    }
    for (const REGISTRY_ROOT& root : kRegistryRoots) {
        if (root.handle == handle) {
            return &root;
        }
    }
    return nullptr;
}
// "HKLM" and the like; empty for a handle that is not a predefined root.
inline std::string RegistryRootName(HKEY handle) {
    const REGISTRY_ROOT* root = FindRegistryRoot(handle);
    return root != nullptr ? root->shortName : "";
}
// "HKEY_LOCAL_MACHINE" and the like; empty for any other handle.
inline std::string RegistryRootFullName(HKEY handle) {
    const REGISTRY_ROOT* root = FindRegistryRoot(handle);
    return root != nullptr ? root->fullName : "";
}

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;

// Access rights of an opened key.
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr std::uint32_t KEY_READ = 0x20019;
inline constexpr std::uint32_t KEY_WRITE = 0x20006;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

class IRegistry {
  public:
    virtual ~IRegistry() = default;

    // RegCreateKeyExA: opens the key, creating it and its missing parents.
    [[nodiscard]] virtual std::int32_t CreateKey(HKEY parent, const std::string& subkey,
                                                 std::uint32_t access, HKEY& key,
                                                 bool* created = nullptr) = 0;
    // RegOpenKeyExA: 2 when the key does not exist.
    [[nodiscard]] virtual std::int32_t OpenKey(HKEY parent, const std::string& subkey,
                                               std::uint32_t access, HKEY& key) = 0;
    virtual std::int32_t CloseKey(HKEY key) = 0;
    // RegQueryValueExA: with `data` null only type and size; with a buffer too
    // small 234 and the needed size. Texts are stored with their zero.
    [[nodiscard]] virtual std::int32_t QueryValue(HKEY key, const std::string& name,
                                                  std::uint32_t* type, std::uint8_t* data,
                                                  std::uint32_t& size) = 0;
    [[nodiscard]] virtual std::int32_t SetValue(HKEY key, const std::string& name,
                                                std::uint32_t type, const std::uint8_t* data,
                                                std::uint32_t size) = 0;
    [[nodiscard]] virtual std::int32_t DeleteValue(HKEY key, const std::string& name) = 0;
    // RegEnumKeyExA / RegEnumValueA: 259 past the last one. Subkeys come in
    // name order (ignoring case), values in the order they were first set.
    [[nodiscard]] virtual std::int32_t EnumKey(HKEY key, std::uint32_t index,
                                               std::string& name) = 0;
    [[nodiscard]] virtual std::int32_t EnumValue(HKEY key, std::uint32_t index, std::string& name,
                                                 std::uint32_t& type,
                                                 std::vector<std::uint8_t>& data) = 0;
    // RegDeleteKeyA: a key with subkeys cannot be deleted (5).
    [[nodiscard]] virtual std::int32_t DeleteKey(HKEY parent, const std::string& subkey) = 0;
    // RegDeleteTreeA: the key and everything below it, at once.
    [[nodiscard]] virtual std::int32_t DeleteTree(HKEY parent, const std::string& subkey) = 0;
    // Runs `change` as one transaction on the hive of `key`: when it returns
    // non-zero (or the process dies) nothing of it is stored.
    [[nodiscard]] virtual std::int32_t Transaction(HKEY key,
                                                   const std::function<std::int32_t()>& change) = 0;
    // Runs `read`, many reads of the hive of `key`, as one: they see the
    // hive as it was at their start, and a store that locks per read locks
    // once. Writes to that hive meanwhile are refused (1).
    [[nodiscard]] virtual std::int32_t ReadTogether(HKEY /*key*/,
                                                    const std::function<std::int32_t()>& read) {
        return read();
    }
};

}  // namespace vzrm::platform
