// The message texts of audit events, rendered from the message files their
// source registers: classic events through the event source's
// EventMessageFile and ParameterMessageFile, with %%n parameter references
// expanded; and account names of SIDs for the User column.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/simple_cache.h"
#include "platform/message_files.h"

namespace vzrm {

struct FoldedHash {
    std::size_t operator()(const std::string& key) const;
};
struct FoldedEqual {
    bool operator()(const std::string& a, const std::string& b) const;
};

// Message modules of one read, by file name as written in the registry
// (ignoring case); modules leave (and are freed) oldest first.
class CModuleHandleCache
    : public CSimpleCache<50, std::string, platform::HMODULE, FoldedHash, FoldedEqual> {
  public:
    ~CModuleHandleCache() override { Clear(); }

  protected:
    void ReleaseValue(platform::HMODULE& module) override;
};

// A value of HKLM\SYSTEM\CurrentControlSet\Services\Eventlog\<log>\<source>.
bool ReadEventSourceValue(const std::string& log, const std::string& source,
                          const std::string& name, std::string& value);
// The module of a message file (environment references expanded); 0 with an
// error text when it does not load.
platform::HMODULE LoadMessageModule(const std::string& fileName, std::string& error);
// "%%4417" references replaced by the parameter module's texts.
std::string SubstituteParameters(const std::string& text, platform::HMODULE parameterModule);
// The event's message: its template from the event module, filled with the
// insertion strings (their parameter references expanded first).
bool FormatEventMessage(platform::HMODULE eventModule, platform::HMODULE parameterModule,
                        std::uint32_t eventId, const std::vector<std::string>& strings,
                        std::string& message, std::string& error);
// The message of a classic record from its source's message files; empty
// when none gives one.
std::string RenderClassicMessage(const std::string& log, const std::string& source,
                                 std::uint32_t eventId, const std::vector<std::string>& strings,
                                 CModuleHandleCache& modules);
// "DOMAIN\name", the name alone for an account of the computer itself, "N/M"
// for a SID that maps to nothing; never fails.
std::string GetAccountNameOfSid(std::span<const std::uint8_t> sid, const std::string& computer);

}  // namespace vzrm
