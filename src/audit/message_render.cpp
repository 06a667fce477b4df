#include "audit/message_render.h"

#include <algorithm>

#include "base/case_fold.h"
#include "base/format_text.h"
#include "formats/format_message.h"
#include "platform/accounts.h"
#include "platform/error_codes.h"
#include "platform/services.h"

namespace vzrm {

using namespace platform;

std::size_t FoldedHash::operator()(const std::string& key) const {
    return std::hash<std::string>()(FoldCase(key));
}

bool FoldedEqual::operator()(const std::string& a, const std::string& b) const {
    return EqualNoCase(a, b);
}

void CModuleHandleCache::ReleaseValue(HMODULE& module) {
    if (module != 0) {
        MessageFiles().Free(module);
    }
}

bool ReadEventSourceValue(const std::string& log, const std::string& source,
                          const std::string& name, std::string& value) {
    HKEY key = 0;
    const std::string path =
        FormatText("SYSTEM\\CurrentControlSet\\Services\\Eventlog\\%s\\%s", log, source);
    if (Registry().OpenKey(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE, key) != kErrorSuccess) {
        return false;
    }
    std::vector<std::uint8_t> data(1023);
    auto size = static_cast<std::uint32_t>(data.size());
    std::int32_t error = Registry().QueryValue(key, name, nullptr, data.data(), size);
    if (error == kErrorMoreData) {
        data.resize(size + 1u);
        error = Registry().QueryValue(key, name, nullptr, data.data(), size);
    }
    Registry().CloseKey(key);
    if (error != kErrorSuccess) {
        return false;
    }
    value.assign(data.begin(), data.begin() + size);
    value = value.substr(0, value.find('\0'));
    return true;
}

HMODULE LoadMessageModule(const std::string& fileName, std::string& error) {
    const std::string expanded = ExpandEnvironmentText(fileName);
    HMODULE module = 0;
    const std::int32_t code = MessageFiles().Load(expanded, module);
    if (code != kErrorSuccess) {
        error = FormatText("LoadLibraryEx err: %d [%s]", code, expanded);
        return 0;
    }
    return module;
}

std::string SubstituteParameters(const std::string& text, HMODULE parameterModule) {
    return formats::ExpandParameterReferences(text, [&](std::uint32_t number, std::string& found) {
        if (parameterModule == 0 ||
            MessageFiles().FindMessage(parameterModule, number, found) != kErrorSuccess) {
            return false;
        }
        found = formats::FormatMessageText(found, {true, 0});
        return true;
    });
}

bool FormatEventMessage(HMODULE eventModule, HMODULE parameterModule, std::uint32_t eventId,
                        const std::vector<std::string>& strings, std::string& message,
                        std::string& error) {
    std::string pattern;
    if (const std::int32_t code = MessageFiles().FindMessage(eventModule, eventId, pattern)) {
        error = FormatText("FormatMessage[1] err: %d", code);
        return false;
    }
    pattern = formats::FormatMessageText(pattern, {true, 0});
    const auto percents = static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '%'));
    std::vector<std::string> copies;
    copies.reserve(strings.size());
    for (const std::string& s : strings) {
        copies.push_back(SubstituteParameters(s, parameterModule));
    }
    std::vector<const char*> arguments(std::max(percents, strings.size()), nullptr);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        arguments[i] = copies[i].c_str();
    }
    message = formats::FormatMessageText(pattern, {strings.empty(), 0}, arguments);
    if (message.empty()) {
        error = "FormatMessage[2] err: 0";
        return false;
    }
    return true;
}

namespace {

HMODULE CachedModule(const std::string& name, CModuleHandleCache& modules) {
    if (const std::optional<HMODULE> cached = modules.Lookup(name)) {
        return *cached;
    }
    std::string error;
    const HMODULE module = LoadMessageModule(name, error);
    if (module != 0) {
        modules.Add(name, module);
    }
    return module;
}

}  // namespace

std::string RenderClassicMessage(const std::string& log, const std::string& source,
                                 std::uint32_t eventId, const std::vector<std::string>& strings,
                                 CModuleHandleCache& modules) {
    std::string files;
    if (!ReadEventSourceValue(log, source, "EventMessageFile", files)) {
        return {};
    }
    std::string parameterFile;
    ReadEventSourceValue(log, source, "ParameterMessageFile", parameterFile);
    for (std::size_t at = 0; at <= files.size();) {
        const std::size_t end = std::min(files.find(';', at), files.size());
        const std::string name = files.substr(at, end - at);
        at = end + 1;
        if (name.empty()) {
            continue;
        }
        const HMODULE eventModule = CachedModule(name, modules);
        const HMODULE parameterModule =
            parameterFile.empty() ? 0 : CachedModule(parameterFile, modules);
        std::string message;
        std::string error;
        if (eventModule != 0 &&
            FormatEventMessage(eventModule, parameterModule, eventId, strings, message, error)) {
            return message;
        }
    }
    return {};
}

std::string GetAccountNameOfSid(std::span<const std::uint8_t> sid, const std::string& computer) {
    std::string name;
    std::string domain;
    const std::int32_t error = LookupAccountSid(sid, name, domain);
    if (error == kErrorNoneMapped) {
        return "N/M";
    }
    if (error != kErrorSuccess) {
        return FormatText("LookupAccountSid err: %d", error);
    }
    return !domain.empty() && domain != computer ? domain + "\\" + name : name;
}

}  // namespace vzrm
