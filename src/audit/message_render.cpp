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
    std::erase_if(templates_, [&](const auto& entry) { return entry.first.first == module; });
    std::erase_if(parameters_, [&](const auto& entry) { return entry.first.first == module; });
    expansions_.erase(module);
    if (module != 0) {
        MessageFiles().Free(module);
    }
}

const CModuleHandleCache::Template* CModuleHandleCache::TemplateOf(HMODULE module, std::uint32_t id,
                                                                   std::int32_t& error) {
    auto it = templates_.find({module, id});
    if (it == templates_.end()) {
        Found found;
        std::string raw;
        found.error = MessageFiles().FindMessage(module, id, raw);
        if (found.error == kErrorSuccess) {
            std::string pattern = formats::FormatMessageText(raw, {true, 0});
            const auto percents =
                static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '%'));
            formats::CompiledMessage compiled(pattern);
            found.message = std::make_unique<const Template>(
                Template{std::move(pattern), std::move(compiled), percents});
        }
        it = templates_.emplace(ModuleKey{module, id}, std::move(found)).first;
    }
    error = it->second.error;
    return it->second.message.get();
}

const std::optional<std::string>& CModuleHandleCache::ParameterText(HMODULE module,
                                                                    std::uint32_t number) {
    auto it = parameters_.find({module, number});
    if (it == parameters_.end()) {
        std::string found;
        std::optional<std::string> text;
        if (MessageFiles().FindMessage(module, number, found) == kErrorSuccess) {
            text = formats::FormatMessageText(found, {true, 0});
        }
        it = parameters_.emplace(ModuleKey{module, number}, std::move(text)).first;
    }
    return it->second;
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

std::string SubstituteParameters(const std::string& text, HMODULE parameterModule,
                                 CModuleHandleCache& modules) {
    std::string expanded = text;
    if (parameterModule == 0) {
        return expanded;  // references without a parameter file stay as they are
    }
    modules.ExpansionsOf(parameterModule)
        .Expand(expanded, [&](std::uint32_t number, std::string& found) {
            const std::optional<std::string>& parameter =
                modules.ParameterText(parameterModule, number);
            if (parameter) {
                found = *parameter;
            }
            return parameter.has_value();
        });
    return expanded;
}

bool FormatEventMessage(HMODULE eventModule, HMODULE parameterModule, std::uint32_t eventId,
                        const std::vector<std::string>& strings, CModuleHandleCache& modules,
                        std::string& message, std::string& error) {
    std::int32_t code = 0;
    const CModuleHandleCache::Template* found = modules.TemplateOf(eventModule, eventId, code);
    if (found == nullptr) {
        error = FormatText("FormatMessage[1] err: %d", code);
        return false;
    }
    std::vector<std::string> copies;
    copies.reserve(strings.size());
    for (const std::string& s : strings) {
        copies.push_back(SubstituteParameters(s, parameterModule, modules));
    }
    std::vector<const char*> arguments(std::max(found->percents, strings.size()), nullptr);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        arguments[i] = copies[i].c_str();
    }
    if (strings.empty()) {
        message = formats::FormatMessageText(found->pattern, {true, 0}, arguments);
    } else {
        found->compiled.Format(arguments, message);
    }
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

EVENT_SOURCE_FILES ReadEventSourceFiles(const std::string& log, const std::string& source) {
    EVENT_SOURCE_FILES files;
    files.found = ReadEventSourceValue(log, source, "EventMessageFile", files.eventFiles);
    if (files.found) {
        ReadEventSourceValue(log, source, "ParameterMessageFile", files.parameterFile);
    }
    return files;
}

std::string RenderClassicMessage(const std::string& log, const std::string& source,
                                 std::uint32_t eventId, const std::vector<std::string>& strings,
                                 CModuleHandleCache& modules) {
    return RenderClassicMessage(ReadEventSourceFiles(log, source), eventId, strings, modules);
}

std::string RenderClassicMessage(const EVENT_SOURCE_FILES& source, std::uint32_t eventId,
                                 const std::vector<std::string>& strings,
                                 CModuleHandleCache& modules) {
    if (!source.found) {
        return {};
    }
    const std::string& files = source.eventFiles;
    const std::string& parameterFile = source.parameterFile;
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
        if (eventModule != 0 && FormatEventMessage(eventModule, parameterModule, eventId, strings,
                                                   modules, message, error)) {
            return message;
        }
    }
    return {};
}

const EVENT_SOURCE_FILES& CEventSourceCache::FilesOf(const std::string& source) {
    const auto it = sources_.find(source);
    if (it != sources_.end()) {
        return it->second;
    }
    return sources_.emplace(source, ReadEventSourceFiles(log_, source)).first->second;
}

namespace {

std::string AccountText(std::int32_t error, const std::string& name, const std::string& domain,
                        const std::string& computer) {
    if (error == kErrorNoneMapped) {
        return "N/M";
    }
    if (error != kErrorSuccess) {
        return FormatText("LookupAccountSid err: %d", error);
    }
    return !domain.empty() && domain != computer ? domain + "\\" + name : name;
}

}  // namespace

std::string GetAccountNameOfSid(std::span<const std::uint8_t> sid, const std::string& computer) {
    std::string name;
    std::string domain;
    const std::int32_t error = LookupAccountSid(sid, name, domain);
    return AccountText(error, name, domain, computer);
}

const std::string& CAccountNameCache::NameOf(std::span<const std::uint8_t> sid,
                                             const std::string& computer) {
    const std::string_view key(reinterpret_cast<const char*>(sid.data()), sid.size());
    if (hasLast_ && key == lastSid_ && computer == lastComputer_) {
        return lastName_;
    }
    lastSid_.assign(key);
    lastComputer_ = computer;
    lastName_ = Lookup(lastSid_, computer);
    hasLast_ = true;
    return lastName_;
}

std::string CAccountNameCache::Lookup(const std::string& key, const std::string& computer) {
    auto it = bySid_.find(key);
    if (it == bySid_.end()) {
        Found found;
        const std::span<const std::uint8_t> sid(reinterpret_cast<const std::uint8_t*>(key.data()),
                                                key.size());
        found.error = LookupAccountSid(sid, found.name, found.domain);
        it = bySid_.emplace(key, std::move(found)).first;
    }
    return AccountText(it->second.error, it->second.name, it->second.domain, computer);
}

}  // namespace vzrm
