#include "report/report_run.h"

#include <cstring>
#include <filesystem>
#include <mutex>
#include <utility>

#include "audit/run_flags.h"
#include "base/error_info.h"
#include "base/error_texts.h"
#include "base/resource_text.h"
#include "base/test_hook.h"
#include "base/text_ids.h"
#include "platform/error_codes.h"
#include "platform/exclusive_file.h"
#include "platform/seal.h"
#include "platform/services.h"
#include "report/event_log_writer.h"
#include "report/log_damage_note.h"
#include "report/partial_reports.h"
#include "report/report_seal.h"
#include "report/reports_folder.h"
#include "report/stored_dates.h"
#include "settings/options_profiles.h"

namespace vzrm {
namespace {

// The name of a file in the reports folder, which is reached by its descriptor.
std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

}  // namespace

bool CReportRun::OpenSeal() {
    std::string refusal;
    if (const std::int32_t error = platform::SealKeys().SigningKey(sealKey_, true, refusal)) {
        g_errorInfo.SetError("SEALKEYREFUSEDX", error, refusal, StrgLine(sealPath_));
        return false;
    }
    if (auto failure =
            sealFile_.Open(sealPath_, CReportFile::Mode::keep, reportsDir_.Descriptor())) {
        g_errorInfo.SetFileError("SEALFILENOTOPEN", &*failure, sealFile_.Refusal(),
                                 StrgLine(sealPath_));
        return false;
    }
    return true;
}

bool CReportRun::AppendSeal(const std::string& block, bool withReport, bool runFailed) {
    std::string previous;
    bool endsWithLine = true;
    std::string text;
    CReportFile::Failure failure = sealFile_.LastLineDigest(previous, endsWithLine);
    if (!failure) {
        SEAL_LINE line;
        line.runStart = SealTime(runStart_);
        if (withReport) {
            line.report = NameOf(reportPath_);
            line.reportDigest = reportHash_.HexDigest();
        }
        line.blockDigest = platform::Sha256Hex(block);
        line.previous = previous;
        text = SealLineText(line, sealKey_);
        if (TestHook("seal-not-written")) {
            failure = CFileException(CFileException::diskFull, platform::kErrorDiskFull, sealPath_);
        } else {
            // A last line cut short (a crash, a full disk) stays a line of its own.
            failure = sealFile_.Append((endsWithLine ? "" : "\n") + text + "\n");
        }
    }
    if (failure) {
        if (runFailed) {
            g_errorInfo.AddErrPoint("SEALNOTWRITTENX");
        } else {
            g_errorInfo.SetFileError("SEALNOTWRITTENX", &*failure, {}, StrgLine(sealPath_));
        }
        return false;
    }
    sealNote_ = FormatResource(kTextSealLineAndKey, platform::Sha256Hex(text),
                               sealKey_.publicKey.Fingerprint(), sealKey_.publicKeyFile);
    return true;
}

void CReportRun::ReportSealLine() {
    if (!sealNote_.empty() && !sealNoteLogged_) {
        sealNoteLogged_ = true;
        host_.ReportEvent(kSealEventId,
                          FormatResource(kTextSealFilePath, sealPath_) + "\r\n" + sealNote_);
    }
}

void CReportRun::ReportLogTrouble(int result) {
    platform::LogReadDamage damage;
    {
        std::lock_guard lock(stopTimeLock_);
        damage = std::exchange(logDamage_, {});
    }
    if (const std::string text = LogDamageText(damage); !text.empty()) {
        host_.ReportEvent(kLogDamageEventId, text);
    }
    if (result < 0 && g_errorInfo.GetCode() == platform::kErrorEventlogFileChanged) {
        host_.ReportErrorRecord();
    }
}

void CReportRun::DeleteReportFile() {
    if (!reportPath_.empty()) {
        static_cast<void>(platform::RemoveFile(reportsDir_.Descriptor(), NameOf(reportPath_)));
    }
}

bool CReportRun::StoreDates(const CLocalDateTime& periodEnd, const CLocalDateTime& lastData) {
    const CLocalDateTime before[] = {ReadStoredDate(options_, kLastDateProc),
                                     ReadStoredDate(options_, kLastDateData)};
    const std::string zoneBefore = options_.GetOptStr(kLastDateZone);
    SetStoredDate(options_, kLastDateProc, periodEnd);
    SetStoredDate(options_, kLastDateData, lastData);
    options_.SetOptStr(kLastDateZone, std::to_string(ZoneOffsetAt(periodEnd)));
    if (options_.WriteRegOpt()) {
        return true;
    }
    // The options keep what the store holds, so that no later write of
    // them moves the period after all.
    SetStoredDate(options_, kLastDateProc, before[0]);
    SetStoredDate(options_, kLastDateData, before[1]);
    options_.SetOptStr(kLastDateZone, zoneBefore);
    g_errorInfo.AddErrPoint("QWRUEOZUKNOMVPP");
    return false;
}

bool CReportRun::CloseReport() {
    if (!filesOpen_ || !reportFile_.IsOpen()) {
        return true;
    }
    if (auto failure = reportFile_.Close()) {
        g_errorInfo.SetFileError("XFCRFLDVSCEYBYS", &*failure, {}, StrgLine(reportPath_));
        return false;
    }
    return true;
}

bool CReportRun::PublishReport() {
    constexpr int kMaxTries = 1000;  // names planted ahead end the search after a while
    std::int32_t error = platform::kErrorAlreadyExists;
    std::string path;
    std::string refusal;
    for (int n = 1; n <= kMaxTries && error == platform::kErrorAlreadyExists; ++n) {
        path = ReportPathOf(n);
        error = platform::RenameToNewName(reportsDir_.Descriptor(), NameOf(reportPath_),
                                          NameOf(path), refusal);
    }
    if (error != platform::kErrorSuccess) {
        g_errorInfo.SetError("RPRTNOTRENAMEDX", error,
                             refusal.empty()
                                 ? std::string()
                                 : "The file '" + path + "' is refused: " + refusal + ".",
                             StrgLine(reportPath_) + StrgLine(path));
        return false;
    }
    reportPath_ = path;
    return true;
}

std::string CReportRun::StoppedNote() const {
    std::string note;
    for (const std::string& name : stoppedReports_) {
        const std::string partial = name.substr(0, name.size() - std::strlen(kPartialSuffix));
        note += FormatResource(kTextPartialReportKept,
                               FolderWithSeparator(reportsFolder_) + partial + kStoppedSuffix);
    }
    return note;
}

void CReportRun::MarkStoppedReports() {
    // Named in a block now: renamed so that the next run does not name them
    // again. One that keeps its name is named again by the next run.
    for (const std::string& name : std::exchange(stoppedReports_, {})) {
        const std::string partial = name.substr(0, name.size() - std::strlen(kPartialSuffix));
        std::string refusal;
        static_cast<void>(platform::RenameToNewName(reportsDir_.Descriptor(), name,
                                                    partial + kStoppedSuffix, refusal));
    }
}

void CReportRun::OnAuditDone(int result) {
    RunState::End();
    lastOutcome_ = result < 0   ? RunOutcome::failed
                   : result > 0 ? RunOutcome::completed
                                : RunOutcome::interrupted;
    if (worker_.joinable()) {
        worker_.join();  // it has posted its last message and is ending
    }
    const bool wasOpen = filesOpen_;
    const bool hasRows = rowCount_ != 0;
    const bool unattended = host_.IsUnattended();
    ReportLogTrouble(result);

    switch (lastOutcome_) {
        case RunOutcome::failed:
            OnRunFailed(wasOpen, hasRows, unattended);
            break;
        case RunOutcome::completed:
            OnRunCompleted(wasOpen, hasRows, unattended);
            break;
        case RunOutcome::interrupted:
            OnRunInterrupted(wasOpen, hasRows);
            break;
    }
    ReportSealLine();
    reportsDir_.Close();
    host_.ResetTitle();
    host_.EnableRunControls(true);
}

bool CReportRun::FinishReportFiles(RunOutcome outcome, bool hasRows) {
    const bool written = WriteSummary(outcome, hasRows);
    return CloseReportFiles() && written;
}

void CReportRun::OnRunFailed(bool wasOpen, bool hasRows, bool unattended) {
    rowCount_ = 0;
    bool ok = false;
    if (wasOpen) {
        ok = FinishReportFiles(RunOutcome::failed, hasRows);
    }
    if (unattended) {
        host_.ReportErrorRecord();  // where an administrator looks, whatever the summary holds
    }
    DeleteReportFile();
    if (!(unattended && closeAfterRun_ && ok)) {
        closeAfterRun_ = false;
        host_.ShowView();
        host_.ShowErrorInfo();
    }
    if (closeAfterRun_) {
        host_.CloseFrame();
    }
}

std::string CReportRun::CompletionMessage(bool hasRows) const {
    std::string message = hasRows ? LoadResourceText(kTextRunSucceeded) + "\r\n\r\n" +
                                        FormatResource(kTextAuditReportPath, reportPath_)
                                  : LoadResourceText(kTextNoDataForPeriod);
    message += "\r\n\r\n" + FormatResource(kTextSummaryReportPath, summaryPath_);
    message += "\r\n\r\n" + FormatResource(kTextSealFilePath, sealPath_);
    return message;
}

void CReportRun::ReportRunEnd(const std::string& outcome, std::uint32_t rows,
                              const CLocalDateTime& from, const CLocalDateTime& to) {
    const std::string start = from.GetStatus() == CLocalDateTime::Status::null
                                  ? std::string("the start of the log")
                                  : LocalDateTimeText(from);
    std::string text = outcome + "\r\nRows: " + std::to_string(rows) + "\r\nPeriod: " + start +
                       " - " + LocalDateTimeText(to);
    // The seal line and its key: the journal keeps a copy that no one who
    // can write the reports folder can change.
    if (!sealNote_.empty()) {
        if (const std::string seal = FormatResource(kTextSealFilePath, sealPath_);
            outcome.find(seal) == std::string::npos) {
            text += "\r\n" + seal;
        }
        text += "\r\n" + sealNote_;
        sealNoteLogged_ = true;
    }
    host_.ReportEvent(kRunEndEventId, text);
}

void CReportRun::OnRunCompleted(bool wasOpen, bool hasRows, bool unattended) {
    // The dates are stored before the block names the report: a block that
    // says "Audit report" never covers a period that the next run repeats.
    const CLocalDateTime previousStart = periodStart_;
    const CLocalDateTime previousData = ReadStoredDate(options_, kLastDateData);
    const CLocalDateTime periodEnd = PeriodEnd();
    // The report is whole on the disk before the dates move past it, and
    // has its final name only once they have.
    if (!CloseReport() || !StoreDates(periodEnd, lastDataTime_)) {
        lastOutcome_ = RunOutcome::failed;
        OnRunFailed(wasOpen, hasRows, unattended);
        return;
    }
    if (wasOpen && hasRows && !PublishReport()) {
        lastOutcome_ = RunOutcome::failed;
        if (!StoreDates(previousStart, previousData)) {
            reportPath_.clear();  // its period is stored: the next run names it as left
        }
        OnRunFailed(wasOpen, hasRows, unattended);
        return;
    }
    const std::string message = CompletionMessage(hasRows);
    bool ok = false;
    if (wasOpen) {
        ok = FinishReportFiles(RunOutcome::completed, hasRows);
    }
    if (unattended && (ok || !wasOpen)) {
        // The journal shows every run, not only the failed ones.
        ReportRunEnd(message, hasRows ? rowCount_ : 0, previousStart, periodEnd);
    }
    if (!hasRows) {
        DeleteReportFile();
    }
    if (ok || !wasOpen) {
        periodStart_ = periodEnd;
        host_.ShowLastDate(LocalDateTimeText(periodStart_));
    } else {
        // The summary has no block of this run (or the report was not
        // closed whole): the run failed, its dates go back and the next run
        // covers its period again. A report whose dates stay is kept.
        lastOutcome_ = RunOutcome::failed;
        if (StoreDates(previousStart, previousData)) {
            DeleteReportFile();
        }
        if (host_.IsUnattended()) {
            host_.ReportErrorRecord();
        }
    }
    if (!host_.IsUnattended() && !ok) {
        closeAfterRun_ = false;
        host_.ShowView();
        host_.ShowErrorInfo();
    }
    if (closeAfterRun_) {
        host_.CloseFrame();
    } else if (ok) {
        host_.ResetTitle();
        host_.EnableRunControls(true);
        host_.ShowInformation(message, MB_ICONINFORMATION);
    }
}

void CReportRun::OnRunInterrupted(bool wasOpen, bool hasRows) {
    const std::uint32_t rows = hasRows ? rowCount_ : 0;
    rowCount_ = 0;
    bool ok = false;
    if (wasOpen) {
        ok = FinishReportFiles(RunOutcome::interrupted, hasRows);
    }
    if (host_.IsUnattended()) {
        ReportRunEnd(LoadResourceText(kTextRunInterrupted), rows, periodStart_, PeriodEnd());
    }
    DeleteReportFile();
    if (!host_.IsUnattended()) {
        if (!ok) {
            host_.ClearClosePending();
            host_.ShowView();
            host_.ShowErrorInfo();
        }
        if (!host_.IsUnattended()) {
            closeAfterRun_ = false;
        }
    }
    if (host_.ClosePending()) {
        host_.ClearClosePending();
        host_.CloseFrame();
    }
}

}  // namespace vzrm
