// One read of the Security log into the records of a period, through the
// classic interface (NT 5) or the modern one (NT 6 and later); and the probe
// for the oldest event's time.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "audit/audit_record.h"
#include "audit/event_interpreter.h"
#include "audit/local_date_time.h"
#include "audit/message_render.h"
#include "audit/read_records.h"
#include "platform/event_log.h"

namespace vzrm {

// The values read from every modern event, in the order the reader uses them.
extern const std::vector<std::string> kRenderPaths;

struct EVT_HANDLE_WITH_ERROR {
    platform::EVT_HANDLE handle = 0;
    std::int32_t error = 0;
};

// Publisher-metadata handles of one read, by publisher name (ignoring case).
class CEvtHandleCache
    : public CSimpleCache<50, std::string, EVT_HANDLE_WITH_ERROR, FoldedHash, FoldedEqual> {
  public:
    ~CEvtHandleCache() override { Clear(); }

  protected:
    void ReleaseValue(EVT_HANDLE_WITH_ERROR& value) override;
};

class CSecurityLogReader {
  public:
    // `stopEvent` (may be null) is the run's stop event; `extension` the one
    // file filter (the program always reads ".zrm" files).
    explicit CSecurityLogReader(const std::atomic<bool>* stopEvent = nullptr,
                                std::string extension = ".zrm");

    // Also read the logs archived beside the live one, oldest first, each
    // record once; off unless asked for.
    void SetReadArchives(bool read) { readArchives_ = read; }

    bool OpenReader();
    bool IsReaderStopped() const;
    // -1 failed, 0 interrupted, 1 read; invalid or null bounds are open.
    int ReadPeriod(const CLocalDateTime& start, const CLocalDateTime& end);
    // The oldest event's time (of all the files read); null when there is
    // none or the read failed.
    CLocalDateTime GetOldestEventTime();

    std::int64_t LatestEventTime() const { return latest_; }
    // What the last read met of damage in the log file (none when it read
    // a sound log, or a log that is not a file).
    const platform::LogReadDamage& Damage() const { return damage_; }
    std::vector<AUDIT_RECORD> TakeRecords() { return interpreter_.TakeRecords(); }

  private:
    bool SystemIsSupported() const;
    // The archives when asked for, then the live log; 1 read, 0 failed.
    int ReadLogs();
    // The live log when `archive` is empty, else that archived file of it.
    int ReadLog(const std::string& log, const std::string& archive = {});
    void AddDamage(const platform::LogReadDamage& file);
    int ReadClassicLog(const std::string& log, const std::string& archive);
    bool LoadModernEventApi();
    int ReadModernLog(const std::string& channel, const std::string& archive);
    // False for a record an earlier file of the read already gave.
    bool FirstSight(const std::string& computer, std::uint64_t recordNumber);
    void NoteEventTime(std::int64_t time);
    void Offer(AUDIT_RECORD record, const std::string& message, bool classic);

    const std::atomic<bool>* stopEvent_;
    std::string extension_;
    bool hasStart_ = false;
    bool hasEnd_ = false;
    std::int64_t start_ = 0;
    std::int64_t end_ = 0;
    bool ready_ = false;
    std::int64_t latest_ = 0;
    bool probe_ = false;
    std::int64_t probeTime_ = 0;
    bool readArchives_ = false;
    CReadRecords readRecords_;
    platform::LogReadDamage damage_;
    CEventInterpreter interpreter_;
};

}  // namespace vzrm
