// Which file holds a log, and which interface its format calls for.
#pragma once

#include <functional>
#include <string>

#include "platform/event_log.h"

namespace vzrm::platform::posix {

// The key of the event logs in HKLM; a channel's key below it holds its File.
inline constexpr char kEventLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\Eventlog";

// The file of a channel ("Security"): $VZRM_SECURITY_LOG, else what an
// installed locator answers, else the File value of the channel's key in the
// store (%NAME% expanded, a Windows path mapped); empty when unknown.
std::string LogFilePath(const std::string& channel);
void SetLogFileLocator(std::function<std::string(const std::string& channel)> locator);

// The format of a file by its signature: classic ("LfLe"), modern ("ElfFile").
LogFormat DetectLogFormat(const std::string& path);

}  // namespace vzrm::platform::posix
