// Message files as the Windows calls see them: loaded as data files by their
// (Windows) path, their messages found by identifier. On Linux a message file
// is a PE file with a message table or the message compiler's .mc text.
#pragma once

#include <cstdint>
#include <string>

namespace vzrm::platform {

using HMODULE = std::uint64_t;  // 0 = none

inline constexpr std::int32_t kErrorModNotFound = 126;
inline constexpr std::int32_t kErrorMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND

// ExpandEnvironmentStringsA: %NAME% becomes the variable's value; an unknown
// name stays as written. SystemRoot, when unset, is the program's data folder
// ($VZRM_DATA_DIR, else share/vzrmaud beside the program's bin folder).
std::string ExpandEnvironmentText(const std::string& text);
// A Windows path ("C:\Windows\System32\a.dll", or a folder of ours followed by
// "\system32\a.dll") as a file here: drive letters dropped, backslashes as
// slashes, every component matched without regard to case. The path as it
// would be when nothing matches.
std::string MapWindowsPath(const std::string& path);

class IMessageFiles {
  public:
    virtual ~IMessageFiles() = default;
    // LoadLibraryExA as a data file: 0 and a module, or 126 (not found), 13 (not a message file).
    [[nodiscard]] virtual std::int32_t Load(const std::string& path, HMODULE& module) = 0;
    virtual void Free(HMODULE module) = 0;
    // The raw message text (narrow); 317 when the module has no such message.
    [[nodiscard]] virtual std::int32_t FindMessage(HMODULE module, std::uint32_t id,
                                                   std::string& text) = 0;
};

}  // namespace vzrm::platform
