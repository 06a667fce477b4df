// A report run: everything since the last run into a new CSV audit report and
// a block of the running summary, with the dates kept for the next run.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/local_date_time.h"
#include "platform/seal.h"
#include "report/audit_worker.h"
#include "report/report_file.h"
#include "report/run_host.h"

namespace vzrm {

class COptProf;

// How a run ended, in the worker's values.
enum class RunOutcome : int { failed = -1, interrupted = 0, completed = 1 };

class CReportRun : public IAuditReportTarget {
  public:
    CReportRun(COptProf& options, IRunHost& host);
    ~CReportRun() override;
    CReportRun(const CReportRun&) = delete;
    CReportRun& operator=(const CReportRun&) = delete;

    // Reads LastDateProc and LastDateData from the options (the view's start-up).
    void LoadStoredDates();

    // Handles a run message; false for a message that is not the run's.
    bool HandleMessage(const RunMessage& message);

    // Start: begins a run, or asks whether to interrupt the one going on.
    void OnStartButton();
    // Asks the user whether to interrupt the run going on (the one place the
    // question is asked); true when the answer was yes and the run is
    // stopping or has ended meanwhile.
    bool AskToInterrupt();
    // Checks the folder field and stores it with the options; false (the
    // error recorded or shown) when it cannot hold reports.
    bool SaveReportsFolder();

    // What the worker needs of the run.
    bool AppendToReport(const std::string& text) override;
    CLocalDateTime RunStart() const override { return runStart_; }
    void SetStopTime(const CLocalDateTime& stopTime) override;
    void SetLogDamage(const platform::LogReadDamage& damage) override;
    void SetPeriodCut(std::int64_t periodEnd, const std::string& file) override;

    const CLocalDateTime& PeriodStart() const { return periodStart_; }
    const CLocalDateTime& LastDataTime() const { return lastDataTime_; }
    const std::string& ReportPath() const { return reportPath_; }
    const std::string& SummaryPath() const { return summaryPath_; }
    const std::string& SealPath() const { return sealPath_; }
    void SetCloseAfterRun(bool close) { closeAfterRun_ = close; }
    // How the last run ended.
    RunOutcome LastOutcome() const { return lastOutcome_; }

  private:
    bool CheckDataLoss();
    bool PrepareReportFiles();
    bool OpenReportFiles();
    bool CloseReportFiles();
    bool WriteSummary(RunOutcome outcome, bool hasRows);
    // The worker's messages: how the run ended, its rows, its latest event.
    void OnAuditDone(int result);
    void OnAuditCount(std::uint32_t count) { rowCount_ = count; }
    void OnAuditLastData(std::uint32_t high, std::uint32_t low);
    CLocalDateTime StopTime() const;
    // The report's name for its n-th try: the stamp, then _2, _3, ...
    std::string ReportPathOf(int n) const;
    // Flushes and closes the report (the summary stays open); false on failure.
    bool CloseReport();
    // Gives the finished report its final name, the first that is free.
    bool PublishReport();
    // The summary's note of reports left by runs that were killed, and
    // their new names once the block names them.
    std::string StoppedNote() const;
    void MarkStoppedReports();
    // Where the period of a completed run ends: the run's start, or earlier
    // when a log cut short ended it (never before the period's start).
    CLocalDateTime PeriodEnd() const;
    // The summary's note of a log cut short; empty when none was met.
    std::string CutNote() const;
    // Writes both dates to the store; on a refusal the options keep the
    // dates they had and the error is recorded.
    bool StoreDates(const CLocalDateTime& periodEnd, const CLocalDateTime& lastData);
    void DeleteReportFile();
    // The summary's block of the run, then the files closed; false when
    // any failed.
    bool FinishReportFiles(RunOutcome outcome, bool hasRows);
    // Opens the seal and takes the key it is signed with; false on failure
    // (recorded).
    bool OpenSeal();
    // The seal line of `block`, which the summary holds now as its last
    // block, naming the report when `withReport`; false on failure, and the
    // caller takes the block back. The failure is recorded; after a failed
    // run's block only as a point, so that the record keeps the run's own
    // error.
    bool AppendSeal(const std::string& block, bool withReport, bool runFailed);
    // The Application log hears of the seal line of a run whose end wrote no
    // information record that names it.
    void ReportSealLine();
    // The end of a run that failed, completed or was interrupted.
    void OnRunFailed(bool wasOpen, bool hasRows, bool unattended);
    void OnRunCompleted(bool wasOpen, bool hasRows, bool unattended);
    void OnRunInterrupted(bool wasOpen, bool hasRows);
    std::string CompletionMessage(bool hasRows) const;
    // The Application-log record of an unattended run's end: how it ended,
    // its rows and its period.
    void ReportRunEnd(const std::string& outcome, std::uint32_t rows, const CLocalDateTime& from,
                      const CLocalDateTime& to);
    // The Application log hears of a damaged log file, and of a log file
    // that changed under the read, whatever else the run's end shows.
    void ReportLogTrouble(int result);

    COptProf& options_;
    IRunHost& host_;

    std::string reportsFolder_;
    std::string reportPath_;
    std::string summaryPath_;
    std::string stamp_;                        // the run start in the report's name
    std::vector<std::string> stoppedReports_;  // left by killed runs, found at the start
    platform::OpenFolder reportsDir_;          // every file of the run is made in it
    CReportFile reportFile_;
    CReportFile summaryFile_;
    std::string sealPath_;
    CReportFile sealFile_;
    platform::SealSigningKey sealKey_;
    platform::Sha256 reportHash_;  // of what the report holds, as it is written
    std::string sealNote_;         // the seal line of this run and its key, once written
    bool sealNoteLogged_ = false;
    bool filesOpen_ = false;
    bool closeAfterRun_ = false;
    CLocalDateTime periodStart_;
    CLocalDateTime runStart_;
    mutable std::mutex stopTimeLock_;
    CLocalDateTime stopTime_;
    platform::LogReadDamage logDamage_;      // guarded by stopTimeLock_
    std::optional<std::int64_t> periodCut_;  // guarded by stopTimeLock_
    std::string cutFile_;                    // guarded by stopTimeLock_
    CLocalDateTime lastDataTime_;
    std::string lossWarning_;
    std::uint32_t rowCount_ = 0;
    RunOutcome lastOutcome_ = RunOutcome::failed;
    std::thread worker_;
};

}  // namespace vzrm
