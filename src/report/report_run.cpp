#include "report/report_run.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#include "audit/run_flags.h"
#include "audit/security_log_reader.h"
#include "base/error_info.h"
#include "base/error_texts.h"
#include "base/message_box.h"
#include "base/resource_text.h"
#include "base/test_hook.h"
#include "base/text_ids.h"
#include "platform/error_codes.h"
#include "report/event_log_writer.h"
#include "report/partial_reports.h"
#include "report/report_seal.h"
#include "report/reports_folder.h"
#include "report/stored_dates.h"
#include "settings/option_names.h"
#include "settings/options_profiles.h"
#include "settings/reg_key_handle.h"

namespace vzrm {
namespace {

CLocalDateTime WholeSeconds(const CLocalDateTime& time) {
    platform::CalendarFields fields;
    return time.GetFields(fields) ? CLocalDateTime::FromFields(fields) : time;
}

}  // namespace

CReportRun::CReportRun(COptProf& options, IRunHost& host) : options_(options), host_(host) {}

CReportRun::~CReportRun() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void CReportRun::LoadStoredDates() {
    periodStart_ = WholeSeconds(ReadStoredDate(options_, kLastDateProc));
    lastDataTime_ = ReadStoredDate(options_, kLastDateData);
    // Dates stored by a run in another zone name the same instants here.
    if (const std::optional<std::int64_t> zone = ReadStoredZone(options_)) {
        periodStart_ = FromZoneOffset(periodStart_, *zone);
        lastDataTime_ = FromZoneOffset(lastDataTime_, *zone);
    }
    host_.ShowLastDate(LocalDateTimeText(periodStart_));
}

bool CReportRun::HandleMessage(const RunMessage& message) {
    switch (message.message) {
        case WM_AUDIT_DONE:
            OnAuditDone(static_cast<int>(message.wParam));
            return true;
        case WM_RUN_AND_CLOSE:
            closeAfterRun_ = true;
            OnStartButton();
            return true;
        case WM_AUDIT_COUNT:
            OnAuditCount(static_cast<std::uint32_t>(message.wParam));
            return true;
        case WM_AUDIT_LASTDATA:
            OnAuditLastData(static_cast<std::uint32_t>(message.wParam),
                            static_cast<std::uint32_t>(message.lParam));
            return true;
        default:
            return false;
    }
}

void CReportRun::OnStartButton() {
    if (g_bRunning) {
        AskToInterrupt();
        return;
    }
    lossWarning_.clear();
    reportPath_.clear();
    if (!SaveReportsFolder()) {
        g_errorInfo.AddErrPoint("KQVWLHKZDQWKCUC");
        host_.MessageTarget().PostRunMessage({WM_AUDIT_DONE, -1, 0});
        return;
    }
    if (!CheckDataLoss()) {
        return;
    }
    runStart_ = WholeSeconds(
        CLocalDateTime::FromOleValue(CurrentLocalDateTime().GetOleValue() - 2.0 / 86400));
    SetStopTime(CLocalDateTime::FromFields(0, 0, 0, 0, 0, 0));
    {
        std::lock_guard lock(stopTimeLock_);
        periodCut_.reset();
        cutFile_.clear();
    }
    if (!PrepareReportFiles()) {
        g_errorInfo.AddErrPoint("UOMUGKFFAOUMYID");
        host_.MessageTarget().PostRunMessage({WM_AUDIT_DONE, -1, 0});
        return;
    }
    // A period that would end before it starts (the clock was ahead at the
    // last run, or was set back) reads nothing and would store "now": the
    // events in between would never be reported. The dates stay.
    if (periodStart_.IsValid() && periodStart_ > runStart_) {
        g_errorInfo.SetError("PERIODSTARTLATE", platform::kErrorInvalidData,
                             FormatResource(kTextStoredDateAhead, LocalDateTimeText(periodStart_),
                                            LocalDateTimeText(runStart_)));
        host_.MessageTarget().PostRunMessage({WM_AUDIT_DONE, -1, 0});
        return;
    }
    rowCount_ = 0;
    RunState::Begin();
    host_.EnableRunControls(false);

    auto proc = std::make_unique<CZrmAuditProc>(*this, host_.MessageTarget());
    proc->SetPeriod(periodStart_, runStart_);
    proc->SetReadArchives(options_.GetOptBool(kOptReadArchives));
    if (worker_.joinable()) {
        worker_.join();
    }
    if (!StartAuditWorker(std::move(proc), worker_)) {
        // A failure, not an interruption: its block and display name the error.
        g_errorInfo.SetError("LYHDNFUPKOJYNSY", platform::kErrorTooManyTcbs);
        host_.MessageTarget().PostRunMessage({WM_AUDIT_DONE, -1, 0});
    }
}

bool CReportRun::AskToInterrupt() {
    if (!g_bRunning || !g_bInterruptible) {
        return false;
    }
    int answer = IDNO;
    {
        const RunState::QuestionShown shown;
        answer = host_.AskYesNo(LoadResourceText(kTextInterruptQuestion),
                                MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    }
    // A run that ended while the question was shown needs no stop.
    return answer == IDYES && (RunState::RequestStop() || !g_bRunning);
}

bool CReportRun::SaveReportsFolder() {
    std::string folder;
    if (!host_.ReadFolderField(folder)) {
        return false;
    }
    // A folder that cannot hold reports is refused before it is stored: it
    // would break every later run too.
    if (!CheckReportsFolder(folder, {"URXZJGMHMBVJKLU", "EOOXNIPOBZTLHIV"})) {
        host_.FocusFolderField();
        return false;
    }
    reportsFolder_ = folder;
    options_.SetOptStr(kOptLogFold, folder);

    CErrorInfo probe;
    CRegKeyHandle key(&probe);
    if (!key.Open(options_.Root(), options_.Path(), platform::KEY_READ | platform::KEY_WRITE) &&
        probe.GetCode() == platform::kErrorAccessDenied) {
        return true;  // a user who may not change the options still runs reports
    }
    if (!options_.WriteRegOpt()) {
        g_errorInfo.AddErrPoint("QWRUEOZUKNOMVPP");
        host_.ShowErrorInfo();
        return false;
    }
    return true;
}

bool CReportRun::CheckDataLoss() {
    if (lastDataTime_.GetStatus() == CLocalDateTime::Status::null) {
        return true;
    }
    // With the archives read, the oldest event they still hold counts.
    CSecurityLogReader probe;
    probe.SetReadArchives(options_.GetOptBool(kOptReadArchives));
    const CLocalDateTime oldest = probe.GetOldestEventTime();
    if (oldest.GetStatus() != CLocalDateTime::Status::null && oldest <= lastDataTime_) {
        return true;
    }
    const std::string message = FormatResource(
        kTextDataLossWarning, LocalDateTimeText(lastDataTime_), LocalDateTimeText(oldest));
    if (host_.IsUnattended()) {
        lossWarning_ = message;
        return true;
    }
    return host_.AskYesNo(message + "\r\n\r\n" + LoadResourceText(kTextStartQuestion),
                          MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool CReportRun::PrepareReportFiles() {
    reportPath_.clear();
    filesOpen_ = false;
    sealNote_.clear();
    sealNoteLogged_ = false;
    reportsFolder_ = options_.GetOptStr(kOptLogFold);
    if (!CheckReportsFolderNamed(reportsFolder_, "URXZJGMHMBVJKLU")) {
        host_.FocusFolderField();
        return false;
    }
    // Opened once: a folder swapped in later by its path is not written in.
    std::string refusal;
    if (const std::int32_t error = reportsDir_.Open(reportsFolder_, refusal)) {
        if (refusal.empty()) {
            g_errorInfo.SetError("EOOXNIPOBZTLHIV", 0,
                                 FormatResource(kTextFolderInvalid, reportsFolder_));
        } else {
            g_errorInfo.SetError("RPRTFOLDREFUSED", error, refusal);
        }
        host_.FocusFolderField();
        return false;
    }
    platform::CalendarFields start;
    runStart_.GetFields(start);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d", start.year, start.month,
                  start.day, start.hour, start.minute, start.second);
    // Both files in the folder, whether or not its name ends with a separator.
    stamp_ = stamp;
    summaryPath_ = FolderWithSeparator(reportsFolder_) + LoadResourceText(kTextSummaryFileName);
    sealPath_ = FolderWithSeparator(reportsFolder_) + LoadResourceText(kTextSealFileName);
    if (!OpenReportFiles()) {
        g_errorInfo.AddErrPoint("UGIOMMWXTRIXVKQ");
        return false;
    }
    return true;
}

bool CReportRun::OpenReportFiles() {
    if (filesOpen_) {
        g_errorInfo.SetError("HGECDSNVCNCYKQK", 6);
        return false;
    }
    // The report is written under a name of its own until the run completes:
    // a run that is killed leaves no file that looks like a report. A name
    // that exists takes the next number.
    std::string path;
    const auto pathOf = [this](int n) { return ReportPathOf(n) + kPartialSuffix; };
    if (auto failure = reportFile_.CreateFirstFree(pathOf, path, reportsDir_.Descriptor())) {
        g_errorInfo.SetFileError("QDDAZMJJQDBAGNK", &*failure, reportFile_.Refusal(),
                                 StrgLine(path));
        return false;
    }
    reportPath_ = path;  // only a file of this run is ever deleted
    if (auto failure =
            summaryFile_.Open(summaryPath_, CReportFile::Mode::keep, reportsDir_.Descriptor())) {
        g_errorInfo.SetFileError("DLVDNPFAHPHUIMR", &*failure, summaryFile_.Refusal(),
                                 StrgLine(summaryPath_));
        // The summary's failure is the one the user sees; closing is cleanup.
        static_cast<void>(reportFile_.Close());
        return false;
    }
    // A run that could not seal its block fails as one whose summary cannot
    // be written: found before the log is read.
    if (!OpenSeal()) {
        static_cast<void>(reportFile_.Close());
        static_cast<void>(summaryFile_.Close());
        return false;
    }
    reportHash_.Reset();
    // Our own report is locked, so only those of runs that ended are found.
    stoppedReports_ = platform::UnheldFiles(reportsDir_.Descriptor(), "ZRMAudit_",
                                            std::string(".csv") + kPartialSuffix);
    filesOpen_ = true;
    return true;
}

std::string CReportRun::ReportPathOf(int n) const {
    // A run in the same second as the last one must not take its report's name.
    const std::string name = n == 1 ? stamp_ : stamp_ + "_" + std::to_string(n);
    return FolderWithSeparator(reportsFolder_) + FormatResource(kTextReportFileName, name);
}

bool CReportRun::CloseReportFiles() {
    if (!filesOpen_) {
        return true;
    }
    filesOpen_ = false;
    CReportFile::Failure failure;
    if (reportFile_.IsOpen()) {
        failure = reportFile_.Close();
    }
    if (auto summaryFailure = summaryFile_.Close(); !failure) {
        failure = summaryFailure;
    }
    if (sealFile_.IsOpen()) {
        if (auto sealFailure = sealFile_.Close(); !failure) {
            failure = sealFailure;
        }
    }
    if (failure) {
        g_errorInfo.SetFileError("XFCRFLDVSCEYBYS", &*failure, {}, StrgLine(reportsFolder_));
        return false;
    }
    return true;
}

bool CReportRun::AppendToReport(const std::string& text) {
    if (!filesOpen_) {
        return true;
    }
    if (auto failure = reportFile_.Append(text)) {
        g_errorInfo.SetFileError("HJEWDLQRWPPPJMO", &*failure, {}, StrgLine(reportsFolder_));
        return false;
    }
    reportHash_.Update(text);
    while (TestHook("hold-run") && !g_bStopRequested) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // mid-run until interrupted
    }
    return true;
}

bool CReportRun::WriteSummary(RunOutcome outcome, bool hasRows) {
    if (!filesOpen_) {
        return true;
    }
    std::string result;
    std::string extra;
    std::string warning = StoppedNote() + lossWarning_;
    if (outcome == RunOutcome::failed) {
        result = LoadResourceText(kTextRunFailed);
        extra = "\r\n" + g_errorInfo.Render() + "\r\n";
    } else if (outcome == RunOutcome::interrupted) {
        result = LoadResourceText(kTextRunInterrupted);
    } else {
        result = hasRows ? FormatResource(kTextAuditReportPath, reportPath_)
                         : LoadResourceText(kTextNoDataForPeriod);
        warning =
            StoppedNote() + CutNote() + lossWarning_;  // the loss warning runs into the next line
        extra = FormatResource(kTextProcessingStop, LocalDateTimeText(StopTime()));
    }
    // One append per block: a crash never leaves half of one.
    const std::string block =
        FormatResource(kTextProcessingStart, LocalDateTimeText(runStart_)) +
        FormatResource(kTextSummaryBlock, warning, LocalDateTimeText(periodStart_), rowCount_,
                       result, extra);
    if (auto failure = summaryFile_.Append(block)) {
        g_errorInfo.SetFileError("RZSNWPKHEQADVKT", &*failure, {}, StrgLine(summaryPath_));
        return false;
    }
    // No block stays in the summary that the seal does not name.
    if (!AppendSeal(block, outcome == RunOutcome::completed && hasRows,
                    outcome == RunOutcome::failed)) {
        static_cast<void>(summaryFile_.TakeBack(block.size()));
        return false;
    }
    MarkStoppedReports();
    return true;
}

void CReportRun::OnAuditLastData(std::uint32_t high, std::uint32_t low) {
    if (high == 0 && low == 0) {
        lastDataTime_ = CLocalDateTime();
        return;
    }
    const auto seconds = static_cast<std::int64_t>((std::uint64_t{high} << 32) | low);
    lastDataTime_ = InstantToLocalDateTime(seconds);
}

void CReportRun::SetStopTime(const CLocalDateTime& stopTime) {
    std::lock_guard lock(stopTimeLock_);
    stopTime_ = stopTime;
}

CLocalDateTime CReportRun::StopTime() const {
    std::lock_guard lock(stopTimeLock_);
    return stopTime_;
}

void CReportRun::SetLogDamage(const platform::LogReadDamage& damage) {
    std::lock_guard lock(stopTimeLock_);
    logDamage_ = damage;
}

void CReportRun::SetPeriodCut(std::int64_t periodEnd, const std::string& file) {
    std::lock_guard lock(stopTimeLock_);
    periodCut_ = periodEnd;
    cutFile_ = file;
}

CLocalDateTime CReportRun::PeriodEnd() const {
    std::lock_guard lock(stopTimeLock_);
    if (!periodCut_) {
        return runStart_;
    }
    const CLocalDateTime end = InstantToLocalDateTime(*periodCut_);
    const bool afterStart =
        periodStart_.GetStatus() == CLocalDateTime::Status::null || end > periodStart_;
    return end.IsValid() && afterStart ? end : periodStart_;
}

std::string CReportRun::CutNote() const {
    std::string file;
    {
        std::lock_guard lock(stopTimeLock_);
        if (!periodCut_) {
            return {};
        }
        file = cutFile_;
    }
    return FormatResource(kTextLogIncomplete, file, LocalDateTimeText(PeriodEnd()));
}

}  // namespace vzrm
