// The message texts of audit events, rendered from the message files their
// source registers: classic events through the event source's
// EventMessageFile and ParameterMessageFile, with %%n parameter references
// expanded; and account names of SIDs for the User column.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/simple_cache.h"
#include "formats/format_message.h"
#include "platform/message_files.h"

namespace vzrm {

struct FoldedHash {
    std::size_t operator()(const std::string& key) const;
};
struct FoldedEqual {
    bool operator()(const std::string& a, const std::string& b) const;
};

// Message modules of one read, by file name as written in the registry
// (ignoring case); modules leave (and are freed) oldest first. What a module
// gives (templates, parameter texts) is kept with it while it stays.
class CModuleHandleCache
    : public CSimpleCache<50, std::string, platform::HMODULE, FoldedHash, FoldedEqual> {
  public:
    ~CModuleHandleCache() override { Clear(); }

    struct Template {
        std::string pattern;  // escapes converted, inserts as written
        formats::CompiledMessage compiled;
        std::size_t percents = 0;  // '%' signs left in the pattern
    };
    // The template of `id` in `module`; null with FindMessage's error.
    const Template* TemplateOf(platform::HMODULE module, std::uint32_t id, std::int32_t& error);
    // The formatted text of parameter `number`; none when the module has none.
    const std::optional<std::string>& ParameterText(platform::HMODULE module, std::uint32_t number);
    // The texts expanded with the parameters of `module`.
    formats::ExpandedTexts& ExpansionsOf(platform::HMODULE module) { return expansions_[module]; }

  protected:
    void ReleaseValue(platform::HMODULE& module) override;

  private:
    struct Found {
        std::int32_t error = 0;
        std::unique_ptr<const Template> message;
    };
    using ModuleKey = std::pair<platform::HMODULE, std::uint32_t>;
    struct KeyHash {
        std::size_t operator()(const ModuleKey& key) const {
            return std::hash<std::uint64_t>()(static_cast<std::uint64_t>(key.first) * 1000003u ^
                                              key.second);
        }
    };
    std::unordered_map<ModuleKey, Found, KeyHash> templates_;
    std::unordered_map<ModuleKey, std::optional<std::string>, KeyHash> parameters_;
    std::unordered_map<platform::HMODULE, formats::ExpandedTexts> expansions_;
};

// A value of HKLM\SYSTEM\CurrentControlSet\Services\Eventlog\<log>\<source>.
bool ReadEventSourceValue(const std::string& log, const std::string& source,
                          const std::string& name, std::string& value);
// The module of a message file (environment references expanded); 0 with an
// error text when it does not load.
platform::HMODULE LoadMessageModule(const std::string& fileName, std::string& error);
// "%%4417" references replaced by the parameter module's texts.
std::string SubstituteParameters(const std::string& text, platform::HMODULE parameterModule,
                                 CModuleHandleCache& modules);
// The event's message: its template from the event module, filled with the
// insertion strings (their parameter references expanded first).
bool FormatEventMessage(platform::HMODULE eventModule, platform::HMODULE parameterModule,
                        std::uint32_t eventId, const std::vector<std::string>& strings,
                        CModuleHandleCache& modules, std::string& message, std::string& error);
// An event source's message files as the registry names them; `found` false
// when the source registers no EventMessageFile.
struct EVENT_SOURCE_FILES {
    bool found = false;
    std::string eventFiles;  // ";"-separated
    std::string parameterFile;
};
EVENT_SOURCE_FILES ReadEventSourceFiles(const std::string& log, const std::string& source);

// The message of a classic record from its source's message files; empty
// when none gives one.
std::string RenderClassicMessage(const std::string& log, const std::string& source,
                                 std::uint32_t eventId, const std::vector<std::string>& strings,
                                 CModuleHandleCache& modules);
std::string RenderClassicMessage(const EVENT_SOURCE_FILES& files, std::uint32_t eventId,
                                 const std::vector<std::string>& strings,
                                 CModuleHandleCache& modules);

// The event sources of one read by name: the registry does not change while
// the log is read, so each source's files are looked up once.
class CEventSourceCache {
  public:
    explicit CEventSourceCache(std::string log) : log_(std::move(log)) {}
    const EVENT_SOURCE_FILES& FilesOf(const std::string& source);

  private:
    std::string log_;
    std::unordered_map<std::string, EVENT_SOURCE_FILES> sources_;
};

// "DOMAIN\name", the name alone for an account of the computer itself, "N/M"
// for a SID that maps to nothing; never fails.
std::string GetAccountNameOfSid(std::span<const std::uint8_t> sid, const std::string& computer);

// GetAccountNameOfSid for one read: each SID is looked up once, as the
// accounts do not change while the log is read.
class CAccountNameCache {
  public:
    // Valid until the next call.
    const std::string& NameOf(std::span<const std::uint8_t> sid, const std::string& computer);

  private:
    struct Found {
        std::int32_t error = 0;
        std::string name;
        std::string domain;
    };
    std::string Lookup(const std::string& sid, const std::string& computer);

    std::unordered_map<std::string, Found> bySid_;
    // The last answer: events come in runs of one account.
    std::string lastSid_;
    std::string lastComputer_;
    std::string lastName_;
    bool hasLast_ = false;
};

}  // namespace vzrm
