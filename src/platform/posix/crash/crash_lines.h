// Collecting the lines of a crash report, each with a time stamp or without.
#pragma once

#include <cstdint>
#include <string>

namespace vzrm {

class CExceptionExtInfo {
  public:
    virtual ~CExceptionExtInfo() = default;
    // Level bit 0 clear: "HH:MM:SS.mmm text"; set: the text alone. CR LF after each.
    virtual void AddLine(std::uint32_t level, const std::string& text);
    std::string GetText() const { return text_; }

  protected:
    // Milliseconds since the system started; tests stop the clock here.
    virtual std::uint64_t Milliseconds() const;

  private:
    std::string text_;
};

// Fills "0000:60:60.000" from the right with the milliseconds (decimal digits
// at '0', base-6 digits at '6'); returns the first significant position, never
// later than `latestStart`. The buffer holds at least 15 characters.
const char* FormatTickTime(std::uint64_t milliseconds, char* buffer, std::size_t latestStart);

// Milliseconds since the system started.
std::uint64_t TickCount();

// Hands a formatted line (at most 3999 characters) to the receiver.
void AddReportLine(CExceptionExtInfo* receiver, std::uint32_t level, std::string text);

}  // namespace vzrm
