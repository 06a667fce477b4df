#include "platform/posix/eventlog/log_location.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "formats/evt_file.h"
#include "formats/evtx_file.h"
#include "platform/error_codes.h"
#include "platform/message_files.h"
#include "platform/posix/eventlog/log_file_bytes.h"
#include "platform/registry.h"
#include "platform/services.h"

namespace vzrm::platform::posix {

using namespace formats;
namespace {

std::mutex& LocatorLock() {
    static std::mutex lock;
    return lock;
}

std::function<std::string(const std::string&)>& Locator() {
    static std::function<std::string(const std::string&)> locator;
    return locator;
}

// The File value of the channel's event-log key, as Windows keeps it
// (%SystemRoot%\System32\winevt\Logs\Security.evtx) or as a path here; an
// installed package sets it, `vzrmreg add` changes it.
std::string StoredLogFile(const std::string& channel) {
    IRegistry& registry = Registry();
    HKEY key = 0;
    if (registry.OpenKey(HKEY_LOCAL_MACHINE, std::string(kEventLogKey) + "\\" + channel,
                         KEY_QUERY_VALUE, key) != kErrorSuccess) {
        return {};
    }
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::string text;
    if (registry.QueryValue(key, "File", &type, nullptr, size) == kErrorSuccess &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        text.resize(size);
        if (registry.QueryValue(key, "File", nullptr, reinterpret_cast<std::uint8_t*>(text.data()),
                                size) != kErrorSuccess) {
            text.clear();
        }
    }
    registry.CloseKey(key);
    text = text.substr(0, text.find('\0'));
    if (text.empty()) {
        return {};
    }
    return MapWindowsPath(type == REG_EXPAND_SZ ? ExpandEnvironmentText(text) : text);
}

}  // namespace

std::string LogFilePath(const std::string& channel) {
    if (channel == "Security") {
        if (const char* path = std::getenv("VZRM_SECURITY_LOG"); path && *path) {
            return path;
        }
    }
    {
        const std::lock_guard guard(LocatorLock());
        if (Locator()) {
            return Locator()(channel);
        }
    }
    return StoredLogFile(channel);
}

void SetLogFileLocator(std::function<std::string(const std::string&)> locator) {
    const std::lock_guard guard(LocatorLock());
    Locator() = std::move(locator);
}

LogFormat DetectLogFormat(const std::string& path) {
    // Opened as the reads open it: a pipe put at the name is refused, not waited on.
    LogFileBytes file;
    if (file.Open(path) != kErrorSuccess) {
        return LogFormat::none;
    }
    std::uint8_t head[kEvtHeaderSize] = {};
    const std::span<std::uint8_t> bytes(head, std::min(sizeof head, file.Size()));
    if (file.ReadAt(0, bytes) != kErrorSuccess) {
        return LogFormat::none;
    }
    if (EvtxFile::HasSignature(bytes)) {
        return LogFormat::modern;
    }
    if (EvtFile::HasSignature(bytes)) {
        return LogFormat::classic;
    }
    return LogFormat::none;
}

}  // namespace vzrm::platform::posix

namespace vzrm::platform {

SYSTEM_VERSION QuerySystemVersion() {
    SYSTEM_VERSION version;
    version.major =
        posix::DetectLogFormat(posix::LogFilePath("Security")) == LogFormat::classic ? 5 : 6;
    return version;
}

}  // namespace vzrm::platform
