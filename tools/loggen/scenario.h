// Test-log scenarios: JSON Lines, one event per line.
//
//   {"id":4663,"time":"2026-03-14T08:05:33.250Z","handle":"0x1a4","object":"D:\\R\\a.zrm","mask":2}
//
// Only "id" and "time" are required; every other field has a plausible default.
// "pointer": 4 writes the handle and process IDs as a 32-bit system does.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>

namespace vzrm::loggen {

struct ScenarioEvent {
    std::uint32_t id = 0;
    std::uint64_t fileTime = 0;  // UTC, 100-ns units since 1601
    std::uint64_t record = 0;
    std::string provider = "Microsoft-Windows-Security-Auditing";  // EVTX only
    std::string computer = "RECPC";
    std::string user = "operator";
    std::string domain = "RECPC";
    std::string sid = "S-1-5-21-1004336348-1177238915-682003330-1001";
    std::uint64_t logon = 0x3E7;
    std::uint64_t handle = 0x1A4;
    std::uint64_t pid = 0x6B8;
    std::string process = "C:\\Program Files\\Rec\\pramvoxe.exe";
    std::string object = "D:\\Records\\case.zrm";
    std::string type = "File";
    std::string server = "Security";
    std::uint32_t mask = 0;
    std::string access;  // classic access codes; from the mask when empty
    bool success = true;
    std::uint16_t task = 0;  // 0: the default for the event ID
    // How handle and process IDs are typed: 0 as HexInt64 (64-bit Windows),
    // 4 or 8 as a pointer-sized SizeT of that many bytes (4: 32-bit Windows).
    std::uint8_t pointer = 0;
};

// Reads one scenario line after another; record numbers continue from the last.
class ScenarioReader {
  public:
    explicit ScenarioReader(std::istream& in) : in_(in) {}

    // The next event; nullopt at the end. Throws std::runtime_error naming the
    // line for a line that is not a scenario event.
    std::optional<ScenarioEvent> Next();

  private:
    std::istream& in_;
    std::size_t line_ = 0;
    std::uint64_t lastRecord_ = 0;
};

// "2026-03-14T08:05:33.250Z" as a file time; false when malformed.
bool ParseUtcTime(const std::string& text, std::uint64_t& fileTime);
// The access codes ("%%4416 %%4417") of a file access mask.
std::string AccessCodes(std::uint32_t mask, const char* separator);

}  // namespace vzrm::loggen
