// The worker of a report run: reads the period's records and writes the body
// of the CSV audit report, then tells the run how it ended.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audit/audit_record.h"
#include "base/local_date_time.h"
#include "platform/event_log.h"
#include "report/run_messages.h"

namespace vzrm {

struct ReadProgress;
class CSecurityLogReader;

// What the worker needs of the run that owns the report file.
class IAuditReportTarget {
  public:
    virtual ~IAuditReportTarget() = default;
    // Appends a line to the report; true when no report file is open.
    virtual bool AppendToReport(const std::string& text) = 0;
    // The end of the period, printed as the start of processing.
    virtual CLocalDateTime RunStart() const = 0;
    virtual void SetStopTime(const CLocalDateTime& stopTime) = 0;
    // What the read met of damage in the log file (called once the log is read).
    virtual void SetLogDamage(const platform::LogReadDamage& /*damage*/) {}
    // A log file cut short ended the period early, at `periodEnd` (see
    // CSecurityLogReader::CutPeriodEnd); `file` names it.
    virtual void SetPeriodCut(std::int64_t /*periodEnd*/, const std::string& /*file*/) {}
};

class CZrmAuditProc {
  public:
    // `target` and `notify` must outlive the worker's run.
    CZrmAuditProc(IAuditReportTarget& target, IRunMessageTarget& notify);
    virtual ~CZrmAuditProc() = default;
    CZrmAuditProc(const CZrmAuditProc&) = delete;
    CZrmAuditProc& operator=(const CZrmAuditProc&) = delete;

    void SetPeriod(const CLocalDateTime& start, const CLocalDateTime& end);
    // Read the archived Security logs before the live one.
    void SetReadArchives(bool read) { readArchives_ = read; }
    // Signals the stop event; the worker ends at its next check.
    void RequestStop() { stopEvent_ = true; }
    const std::string& ListSeparator() const { return listSeparator_; }

    // Writes the report and posts WM_AUDIT_PROGRESS while it reads the log,
    // WM_AUDIT_COUNT and WM_AUDIT_LASTDATA (unless interrupted), then
    // WM_AUDIT_DONE with -1, 0 or 1.
    virtual void Run();
    // -1 failed, 0 interrupted, 1 complete.
    int WriteAuditReport();
    bool IsStopRequested() const;

  private:
    void Post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam,
              std::int64_t extra = 0);
    // WM_AUDIT_PROGRESS, at most ten times a second.
    void PostProgress(const ReadProgress& progress);
    enum class Outcome { complete, interrupted, failed };
    // WriteAuditReport with whatever it throws taken as a failure.
    int WriteAuditReportCaught();
    // The report's lines after its first: an empty line, the column names
    // and an empty line; the error point of the append that failed, or null.
    const char* AppendColumnHead();
    // The rows of the records the reader read and the empty line after them.
    Outcome AppendRows(const CSecurityLogReader& reader);

    std::uint32_t rowCount_ = 0;
    std::string listSeparator_;
    std::int64_t latestEventTime_ = 0;
    CLocalDateTime periodStart_;
    CLocalDateTime periodEnd_;
    std::chrono::steady_clock::time_point lastProgress_;
    bool progressPosted_ = false;
    bool readArchives_ = false;
    std::atomic<bool> stopEvent_{false};
    IAuditReportTarget& target_;
    IRunMessageTarget& notify_;
};

// Runs the worker and destroys it; the body of the worker thread.
void AuditWorkerThreadProc(CZrmAuditProc* proc);

// Starts the worker on a new thread that owns it; false (and the worker
// destroyed) when no thread can be started. The thread ends after it has
// posted WM_AUDIT_DONE; joining it then never waits long.
bool StartAuditWorker(std::unique_ptr<CZrmAuditProc> proc, std::thread& thread);

}  // namespace vzrm
