// One read of the Security log into the records of a period, through the
// classic interface (NT 5) or the modern one (NT 6 and later); and the probe
// for the oldest event's time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audit/audit_record.h"
#include "audit/event_interpreter.h"
#include "audit/message_render.h"
#include "audit/read_records.h"
#include "audit/record_pipeline.h"
#include "base/local_date_time.h"
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

// How far a read of the log has come.
struct ReadProgress {
    std::uint64_t events = 0;    // events read so far, of every kind
    std::uint64_t position = 0;  // bytes of the log file behind the read
    std::uint64_t size = 0;      // the log file's size
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

    // Told after each batch of events that ReadPeriod takes from the log, on
    // the reading thread, when the log knows its position.
    void SetProgress(std::function<void(const ReadProgress&)> progress) {
        progress_ = std::move(progress);
    }

    std::int64_t LatestEventTime() const { return latest_; }
    // After a read that met a log file cut short (a copy still being made):
    // the instant the period ended at instead, the last whole second before
    // the newest event read from that file, never before the period's start
    // (INT64_MIN without a start or an event). Unset when no cut ended the
    // period early.
    const std::optional<std::int64_t>& CutPeriodEnd() const { return cutEnd_; }
    // The file whose cut ended the period.
    const std::string& CutFile() const { return cutFile_; }
    // What the last read met of damage in the log file (none when it read
    // a sound log, or a log that is not a file).
    const platform::LogReadDamage& Damage() const { return damage_; }
    std::vector<AUDIT_RECORD> TakeRecords() { return interpreter_.TakeRecords(); }
    // The records of the last read one at a time (see CEventInterpreter::VisitRecords).
    bool VisitRecords(const std::function<bool(const AUDIT_RECORD&)>& visit) const {
        return interpreter_.VisitRecords(visit);
    }

  private:
    bool SystemIsSupported() const;
    // The archives when asked for, then the live log; 1 read, 0 failed.
    int ReadLogs();
    // The live log when `archive` is empty, else that archived file of it.
    int ReadLog(const std::string& log, const std::string& archive = {});
    void AddDamage(const platform::LogReadDamage& file);
    void NoteCut(const std::string& path);
    int ReadClassicLog(const std::string& log, const std::string& archive);
    void ReadClassicRecord(const platform::EVENTLOGRECORD& head,
                           std::span<const std::uint8_t> record, CModuleHandleCache& modules,
                           CEventSourceCache& sources, CRecordPipeline& pipeline);
    bool LoadModernEventApi();
    int ReadModernLog(const std::string& channel, const std::string& archive);
    // What the read does after one modern event: go on, stop, or stop failed.
    enum class EventStep { kNext, kStop, kFail };
    struct ModernReadCache;
    EventStep ReadModernEvent(platform::IModernEventLog& log, platform::EVT_HANDLE context,
                              platform::EVT_HANDLE event,
                              std::vector<platform::EVT_VARIANT>& values, ModernReadCache& cache,
                              CRecordPipeline& pipeline);
    // False for a record an earlier file of the read already gave.
    bool FirstSight(const std::string& computer, std::uint64_t recordNumber);
    void NoteEventTime(std::int64_t time);
    // Finds an event's fields in its message (unless the log found them) and
    // hands the record to the interpretation; runs on the pipeline's thread
    // while the log is read.
    void Offer(PendingRecord& pending);
    CRecordPipeline::Sink OfferTo();
    template <typename Log, typename Handle>
    void ReportProgress(Log& log, Handle handle);

    const std::atomic<bool>* stopEvent_;
    std::string extension_;
    bool hasStart_ = false;
    bool hasEnd_ = false;
    std::int64_t start_ = 0;
    std::int64_t end_ = 0;
    bool ready_ = false;
    std::int64_t latest_ = 0;
    std::optional<std::int64_t> fileNewest_;  // of the file being read
    std::optional<std::int64_t> cutEnd_;
    std::string cutFile_;
    bool probe_ = false;
    std::int64_t probeTime_ = 0;
    std::function<void(const ReadProgress&)> progress_;
    std::uint64_t eventsRead_ = 0;
    bool readArchives_ = false;
    CReadRecords readRecords_;
    platform::LogReadDamage damage_;
    CAccountNameCache accounts_;               // of one read
    std::vector<std::string> classicInserts_;  // a classic record's, kept for the next
    CEventInterpreter interpreter_;
};

}  // namespace vzrm
