// The program's writer of Application log events: one source, opened once,
// written through the platform's application log.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vzrm {

class CErrorInfo;

inline constexpr std::uint32_t kErrorRecordEventId = 0xC0000002;
// A warning: the Security log file is damaged (what was read is reported).
inline constexpr std::uint32_t kLogDamageEventId = 0x80000004;
// Information: how an unattended run ended (rows, period, files).
inline constexpr std::uint32_t kRunEndEventId = 0x40000005;
// Information: the seal line of a run whose end writes no run-end record
// (a run in the window, a failed run), with the key's fingerprint.
inline constexpr std::uint32_t kSealEventId = 0x40000006;

class CEventLogWriter {
  public:
    // Registers the source; an open writer stays with its first source.
    void Open(const std::string& source);
    void Close() { source_.clear(); }
    bool IsOpen() const { return !source_.empty(); }
    // The event's type comes from the identifier's two top bits: 1
    // information, 2 warning, 3 error, 0 success. Without a source nothing
    // is written.
    void Report(std::uint32_t eventId, const std::vector<std::string>& strings);
    // The product text and the rendered error record as one error event.
    void ReportErrorRecord(const std::string& productText);
    // Error records also go to `echo` as one line, "vzrmaud: TEXT: PATH",
    // for the person at the terminal or the mail cron sends.
    void EchoErrorsTo(std::ostream* echo) { echo_ = echo; }

  private:
    std::string source_;
    std::ostream* echo_ = nullptr;
};

// The error record's text and the file it names (its first STRG line), in
// one line: "The system cannot find the file specified.: /srv/Security.evtx".
std::string ErrorRecordLine(const CErrorInfo& error);

inline constexpr char kEventSource[] = "VelmoraZRMAuditor";

}  // namespace vzrm
