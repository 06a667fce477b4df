// The classic event-log interface over .evt files, with narrow texts as the
// "A" functions return them.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/event_log.h"
#include "platform/posix/eventlog/log_location.h"

namespace vzrm::formats {
class EvtFile;
struct EvtRecordPlace;
}  // namespace vzrm::formats

namespace vzrm::platform::posix {

using formats::EvtFile;
using formats::EvtRecordPlace;

// A record as ReadEventLogA returns it: texts narrow, offsets adjusted.
// `repaired` is set when its strings, SID or data lay (partly) outside the
// record: what lay inside is kept, the rest left out.
std::vector<std::uint8_t> NarrowEventLogRecord(const std::vector<std::uint8_t>& wide,
                                               bool* repaired = nullptr);

class FileClassicEventLog final : public IClassicEventLog {
  public:
    FileClassicEventLog();
    ~FileClassicEventLog() override;

    std::int32_t Open(const std::string& source, EventLogHandle& handle) override;
    std::int32_t OpenBackup(const std::string& path, EventLogHandle& handle) override;
    std::string LogFile(const std::string& source) override { return LogFilePath(source); }
    std::int32_t Read(EventLogHandle handle, std::uint32_t flags, std::uint32_t offset,
                      std::span<std::uint8_t> buffer, std::uint32_t& bytesRead,
                      std::uint32_t& needed) override;
    void Close(EventLogHandle handle) override;
    bool ReadDamage(EventLogHandle handle, LogReadDamage& damage) override;
    // Sequential reads count the records they have returned, in bytes of the file.
    bool ReadPosition(EventLogHandle handle, std::uint64_t& position, std::uint64_t& size) override;

  private:
    struct Log {
        std::unique_ptr<EvtFile> file;
        std::size_t next = 0;  // the index a forward read returns next
        bool started = false;
        bool forwards = true;      // the direction of the last read
        std::size_t repaired = 0;  // records read with parts outside them left out
    };

    std::mutex lock_;
    std::unordered_map<EventLogHandle, Log> logs_;
    EventLogHandle nextHandle_ = 1;
};

}  // namespace vzrm::platform::posix
