#include "report/audit_worker.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <system_error>

#include "audit/run_flags.h"
#include "audit/security_log_reader.h"
#include "base/batch_pipeline.h"
#include "base/error_info.h"
#include "base/resource_text.h"
#include "base/test_hook.h"
#include "base/text_ids.h"
#include "platform/services.h"
#include "report/report_row.h"

namespace vzrm {

CZrmAuditProc::CZrmAuditProc(IAuditReportTarget& target, IRunMessageTarget& notify)
    : listSeparator_(platform::Locale().ListSeparator()), target_(target), notify_(notify) {
    if (listSeparator_.empty()) {
        listSeparator_ = ";";
    }
}

void CZrmAuditProc::SetPeriod(const CLocalDateTime& start, const CLocalDateTime& end) {
    periodStart_ = start;
    periodEnd_ = end;
}

bool CZrmAuditProc::IsStopRequested() const {
    // The user is being asked whether to interrupt: write nothing meanwhile.
    while (g_bQuestionShown.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return stopEvent_.load() || g_bStopRequested.load();
}

void CZrmAuditProc::Post(std::uint32_t message, std::int64_t wParam, std::int64_t lParam,
                         std::int64_t extra) {
    notify_.PostRunMessage({message, wParam, lParam, extra});
}

void CZrmAuditProc::PostProgress(const ReadProgress& progress) {
    const auto now = std::chrono::steady_clock::now();
    if (progressPosted_ && now - lastProgress_ < std::chrono::milliseconds(100)) {
        return;
    }
    progressPosted_ = true;
    lastProgress_ = now;
    Post(WM_AUDIT_PROGRESS, static_cast<std::int64_t>(progress.events),
         static_cast<std::int64_t>(progress.position), static_cast<std::int64_t>(progress.size));
}

void CZrmAuditProc::Run() {
    rowCount_ = 0;
    g_errorInfo.Clear();
    bool failed = false;
    if (WriteAuditReportCaught() < 0) {
        g_errorInfo.AddErrPoint("BEHTYXDEMCYVUSO");
        failed = true;
    }
    const bool interrupted = IsStopRequested();
    if (!interrupted) {
        const auto latest = static_cast<std::uint64_t>(latestEventTime_);
        Post(WM_AUDIT_COUNT, rowCount_, 0);
        Post(WM_AUDIT_LASTDATA, static_cast<std::int64_t>(latest >> 32),
             static_cast<std::int64_t>(latest & 0xFFFFFFFFu));
    }
    Post(WM_AUDIT_DONE, failed ? -1 : interrupted ? 0 : 1, 0);
}

int CZrmAuditProc::WriteAuditReportCaught() {
    // Nothing thrown may end the process from this thread: it fails the run
    // through its error path, with a block and an Application-log event.
    try {
        return WriteAuditReport();
    } catch (const std::exception& exception) {
        g_errorInfo.SetError("WQKXEHPZTNRFYAB", 0, exception.what());
    } catch (...) {
        if (!g_errorInfo.HasError()) {
            g_errorInfo.SetError("WQKXEHPZTNRFYAB", 0, "An unexpected exception ended the run.");
        }
    }
    return -1;
}

const char* CZrmAuditProc::AppendColumnHead() {
    if (!target_.AppendToReport("\r\n")) {
        return "YWFVIDGNXEANNJW";
    }
    if (!target_.AppendToReport(ReportHeaderLine(listSeparator_))) {
        return "ITWTDGJBMCZPKYX";
    }
    if (!target_.AppendToReport("\r\n")) {
        return "VTOWSAXSCGFJTXD";
    }
    return nullptr;
}

CZrmAuditProc::Outcome CZrmAuditProc::AppendRows(const CSecurityLogReader& reader) {
    // Row by row from the reader's compact records: the rows are never all
    // held as texts at once. They are written in runs of whole lines, one
    // write call each (a call per line cost more than making the line), on a
    // thread of their own while the next ones are made.
    struct Rows {
        std::string lines;
        std::uint32_t count = 0;
    };
    constexpr std::size_t kRowsBytes = 64 * 1024;
    std::atomic<Outcome> outcome = Outcome::complete;
    CBatchPipeline<Rows, 1> writes([&](const Rows& rows) {
        if (outcome != Outcome::complete) {
            return;  // nothing after a failed write, or after the stop
        }
        if (IsStopRequested()) {
            outcome = Outcome::interrupted;
        } else if (!target_.AppendToReport(rows.lines)) {
            g_errorInfo.AddErrPoint("WPDJPWYYPTFMHUM");
            outcome = Outcome::failed;
        } else {
            rowCount_ += rows.count;
        }
    });
    CReportRowWriter rowWriter(listSeparator_);
    Rows* filling = nullptr;
    try {
        reader.VisitRecords([&](const AUDIT_RECORD& record) {
            if (outcome != Outcome::complete || writes.Failed()) {
                return false;
            }
            if (filling == nullptr) {
                filling = &writes.Place();
                filling->lines.clear();
                filling->lines.reserve(kRowsBytes + 4096);  // a run's last line, mostly
                filling->count = 0;
            }
            filling->lines += rowWriter.Line(record);
            ++filling->count;
            if (filling->lines.size() >= kRowsBytes) {
                writes.Add();
                filling = nullptr;
            }
            return true;
        });
    } catch (...) {
        outcome = Outcome::failed;  // the rows on their way are not written
        throw;
    }
    if (filling != nullptr) {
        writes.Add();
    }
    writes.Finish();
    if (outcome != Outcome::complete) {
        return outcome.load();
    }
    if (!target_.AppendToReport("\r\n")) {
        g_errorInfo.AddErrPoint("FNCHLYTEMRDOERM");
        return Outcome::failed;
    }
    return Outcome::complete;
}

int CZrmAuditProc::WriteAuditReport() {
    CSecurityLogReader reader(&stopEvent_);
    progressPosted_ = false;
    reader.SetProgress([this](const ReadProgress& progress) { PostProgress(progress); });
    reader.SetReadArchives(readArchives_);
    Outcome outcome = Outcome::complete;
    const auto fail = [&](const char* point) {
        g_errorInfo.AddErrPoint(point);
        outcome = Outcome::failed;
    };

    const bool started = target_.AppendToReport(
        FormatResource(kTextProcessingStart, LocalDateTimeText(target_.RunStart())));
    if (!started) {
        fail("PZPXMBCHAPCLQMW");
    } else if (const char* point = AppendColumnHead()) {
        fail(point);
    } else if (!reader.OpenReader()) {
        fail("FQNUNDAYZEDLQUE");
    } else {
        const int read = reader.ReadPeriod(periodStart_, periodEnd_);
        latestEventTime_ = reader.LatestEventTime();
        target_.SetLogDamage(reader.Damage());
        if (const std::optional<std::int64_t>& cut = reader.CutPeriodEnd()) {
            target_.SetPeriodCut(*cut, reader.CutFile());
        }
        if (read < 0) {
            fail("VIADMYGIJDSYWWZ");
        }
    }

    if (outcome == Outcome::complete && IsStopRequested()) {
        outcome = Outcome::interrupted;
    }
    if (outcome == Outcome::complete) {
        outcome = AppendRows(reader);
    }

    const CLocalDateTime stopTime = CurrentLocalDateTime();
    target_.SetStopTime(stopTime);
    if (started &&
        !target_.AppendToReport(FormatResource(kTextProcessingStop, LocalDateTimeText(stopTime)))) {
        g_errorInfo.AddErrPoint("SUUKZBPVCCJIFRB");
        return -1;
    }
    switch (outcome) {
        case Outcome::failed:
            return -1;
        case Outcome::interrupted:
            return 0;
        case Outcome::complete:
            break;
    }
    return 1;
}

void AuditWorkerThreadProc(CZrmAuditProc* proc) {
    // No COM on Linux; the object is the thread's to run and to destroy.
    proc->Run();
    delete proc;
}

bool StartAuditWorker(std::unique_ptr<CZrmAuditProc> proc, std::thread& thread) {
    if (TestHook("no-worker-thread")) {
        return false;
    }
    try {
        thread = std::thread(AuditWorkerThreadProc, proc.get());
    } catch (const std::system_error&) {
        return false;  // `proc` is destroyed here
    }
    proc.release();
    return true;
}

}  // namespace vzrm
