// Which file holds a log, and which interface its format calls for.
#pragma once

#include <functional>
#include <string>

#include "platform/event_log.h"

namespace vzrm::platform::posix {

// The file of a channel ("Security"): $VZRM_SECURITY_LOG, else what the
// installed locator answers (the registry's Eventlog\Security\File value once
// the store is there); empty when unknown.
std::string LogFilePath(const std::string& channel);
void SetLogFileLocator(std::function<std::string(const std::string& channel)> locator);

// The format of a file by its signature: classic ("LfLe"), modern ("ElfFile").
LogFormat DetectLogFormat(const std::string& path);

}  // namespace vzrm::platform::posix
