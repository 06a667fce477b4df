// ".reg" files, the text form of registry trees that Windows' regedit and
// reg.exe write: "Windows Registry Editor Version 5.00", [KEY] sections,
// "name"="text", dword:, hex:, hex(N):, @ for the default value, [-KEY] and
// "name"=- deletions, line continuations. Files may be UTF-16 LE with a BOM
// (as regedit writes them), UTF-8 or ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace vzrm::formats {

struct REG_FILE_CHANGE {
    enum class Kind { createKey, deleteKey, setValue, deleteValue };
    Kind kind = Kind::createKey;
    platform::HKEY root = 0;
    std::string path;  // below the root
    std::string name;  // values; "" is the default value
    std::uint32_t type = platform::REG_NONE;
    std::vector<std::uint8_t> data;  // in the store's form: texts narrow with their zero
    std::size_t line = 0;
};

// "HKEY_LOCAL_MACHINE\Software\X" or "HKLM\Software\X" as root and path;
// false for any other root.
bool SplitKeyName(const std::string& name, platform::HKEY& root, std::string& path);

// Parses a whole file. On malformed input returns false with `error` naming
// the line ("line 7: ...") and no changes.
bool ParseRegFile(const std::vector<std::uint8_t>& bytes, std::vector<REG_FILE_CHANGE>& changes,
                  std::string& error);
// Applies the changes, each hive's in one transaction: 0 or a Windows code.
std::int32_t ApplyRegFile(const std::vector<REG_FILE_CHANGE>& changes, std::string& error);

// The text of a key and everything below it, in regedit's form (UTF-8; the
// caller may write it as UTF-16). 0, or 2 when the key does not exist.
std::int32_t ExportRegFile(platform::HKEY root, const std::string& path, std::string& text);
// UTF-16 LE with a BOM, as regedit writes .reg files.
std::vector<std::uint8_t> RegFileBytes(const std::string& text);

// After a key's values were listed (`listed`, EnumValue's last answer): the
// names of its subkeys, and the key closed. 0, or the error that ended a list
// before its end: a damaged store is an error, not an empty key.
std::int32_t ListSubkeysAndClose(platform::HKEY key, std::int32_t listed,
                                 std::vector<std::string>& subkeys);

}  // namespace vzrm::formats
