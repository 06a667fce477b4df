#include "app/main_app.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "app/terminal_progress.h"
#include "base/exceptions.h"
#include "base/message_box.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "platform/error_codes.h"
#include "platform/named_mutex.h"
#include "platform/posix/display_probe.h"
#include "platform/posix/instance_channel.h"
#include "platform/posix/interrupt_signals.h"
#include "platform/posix/posix_folders.h"
#include "platform/posix/posix_services.h"
#include "platform/posix/store_location.h"
#include "platform/posix/time_zone_check.h"
#include "report/exception_hook.h"
#include "report/headless_host.h"
#include "report/report_run.h"
#include "settings/move_stored_options.h"
#include "settings/option_names.h"

namespace vzrm {
namespace {

constexpr char kStartupMutex[] = "Quorvix_ZRMAU_MutexDoubleCall";
constexpr char kInstanceMutex[] = "Global\\Quorvix_ZRMAU_MutexGlobal";
constexpr char kWindowClass[] = "Quorvix_ZRMAU_Class";
constexpr std::int32_t kLauncherShow = SW_SHOWNORMAL;  // a desktop launcher has no other
constexpr char kSupportAddress[] = "support@quorvix.example";
}  // namespace

const char kUsageText[] =
    "usage: vzrmaud [-c|/create] [-rf|/repfold DIR] [-m|/minimize]\n"
    "       vzrmaud --help | --version\n"
    "  -c runs one report into DIR and exits with status 0 (completed), 1 (failed),\n"
    "  2 (interrupted) or 3 (refused to start: wrong command line, not installed,\n"
    "  already running). Without -c the program shows its window on the desktop.\n"
    "  The option ReadArchives (REG_DWORD 1 in the store) also reads the Security\n"
    "  logs archived beside the live one; see vzrmaud(1).\n";

void PrepareProcess() {
    platform::SetDefaultServices(platform::posix::DefaultServices());
    std::signal(SIGXFSZ, SIG_IGN);
}

bool IsNonInteractiveSession() {
    return !platform::posix::IsDisplayReachable();
}

std::int32_t StartShowCommand(std::int32_t launcherShow, bool runMin, bool nonInteractive) {
    if (nonInteractive || launcherShow == SW_HIDE) {
        return SW_HIDE;
    }
    if (runMin || launcherShow == SW_SHOWMINIMIZED || launcherShow == SW_MINIMIZE ||
        launcherShow == SW_SHOWMINNOACTIVE) {
        return SW_MINIMIZE;
    }
    return SW_SHOWNORMAL;
}

CMainApp::CMainApp(IDesktop* desktop) : desktop_(desktop) {}

ERROR_REPORT_CONTEXT CMainApp::ReportContext() const {
    ERROR_REPORT_CONTEXT context;
    context.productText = soft_.ProductText();
    context.installFlags = installFlags_;
    context.commandLine = args_;
    context.options = const_cast<CMainOpt*>(&options_);
    context.applicationName = soft_.ProductName();
    context.supportAddress = kSupportAddress;
    return context;
}

void CMainApp::ShowError() {
    ShowErrorInfo(ReportContext(), desktop_->ErrorBox());
}

void CMainApp::ReportStartupError(bool boxOnDesktop) {
    if (LogsInsteadOfBox(boxOnDesktop)) {
        log_.Open(kEventSource);
        log_.ReportErrorRecord(soft_.ProductText());
    } else {
        ShowError();
    }
}

void CMainApp::ShowProductMessage(const std::string& text, bool boxOnDesktop) {
    if (LogsInsteadOfBox(boxOnDesktop)) {
        log_.Open(kEventSource);
        log_.Report(kErrorRecordEventId, {text});
        if (desktop_ == nullptr) {
            std::cerr << "vzrmaud: " << text << "\n";  // cron mails it; a terminal shows it
        }
    } else {
        desktop_->ShowMessage(soft_.ProductName(), text);
    }
}

int CMainApp::Run(const std::vector<std::string>& args) {
    int status = EXIT_FAILED;
    try {
        CCrashTranslator::Run([&] { status = Start(args); });
    } catch (C_Exception* exception) {
        // The application's exception hook: a fault becomes the error record.
        RecordHookedException(exception);
        ReportStartupError();
        status = EXIT_FAILED;
    }
    return status;
}

int CMainApp::Start(const std::vector<std::string>& args) {
    args_ = args;
    if (desktop_ == nullptr) {
        // Unattended: every error record is a line on standard error too.
        log_.EchoErrorsTo(&std::cerr);
    }
    // Instances started at the same moment start up one after the other.
    nonInteractive_ = desktop_ == nullptr || IsNonInteractiveSession();
    // A lock folder that another account could have prepared ends the start.
    std::unique_ptr<platform::INamedMutex> startup;
    if (platform::OpenNamedMutex(kStartupMutex, startup) != 0) {
        g_errorInfo.AddErrPoint("VNINYCMNSNKENYY");
        ReportStartupError();
        return EXIT_REFUSED;
    }
    // Starts one after the other; a wait that fails only loses the order.
    static_cast<void>(startup->Wait(0xFFFFFFFF));
    if (const std::optional<int> end = ReadStartOptions(args)) {
        return *end;
    }

    const std::int32_t show =
        StartShowCommand(kLauncherShow, options_.GetOptBool(kOptRunMin), nonInteractive_);
    // A second start on the same desktop brings the running window up and
    // ends; a report asked for with -c has not been made.
    if (!nonInteractive_ && platform::posix::SendShowInstance(kWindowClass, show)) {
        return runAuto_ ? EXIT_REFUSED : EXIT_COMPLETED;
    }

    std::unique_ptr<platform::INamedMutex> instance;
    if (const std::optional<int> end = HoldInstance(instance)) {
        return *end;
    }
    if (!nonInteractive_) {
        return RunWindow(show, *startup);
    }
    startup->Release();
    return RunReport();
}

std::optional<int> CMainApp::ReadStartOptions(const std::vector<std::string>& args) {
    const std::vector<std::string> parameters(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (!ParseCommandLine(options_, parameters)) {
        ReportStartupError();
        std::cerr << kUsageText;
        return EXIT_REFUSED;
    }
    runAuto_ = options_.GetOptBool(kOptRunAuto);
    // A zone the C library cannot find would be taken as UTC: every stored
    // date would move by the zone's offset.
    if (std::string problem; !platform::posix::TimeZoneIsKnown(problem)) {
        g_errorInfo.SetError("UNKNOWNTIMEZONE", platform::kErrorInvalidParameter, problem);
        ReportStartupError();
        return EXIT_REFUSED;
    }
    if (!platform::posix::CheckStoreLocation(g_errorInfo)) {
        ReportStartupError();
        return EXIT_REFUSED;
    }

    const int installed = CheckInstallation(soft_, installFlags_);
    if (installed < 0) {
        ReportStartupError(true);
        return EXIT_REFUSED;
    }
    if (installed == 0) {
        ShowProductMessage(FormatResource(kTextNotInstalled, soft_.ProductText()), true);
        return EXIT_REFUSED;
    }
    // Failures are shown and the start goes on; after a failed move the
    // options are used where they still are.
    const std::int32_t optionsForAll = UpdateOptionVersion(soft_, installFlags_, MoveProfilesKey,
                                                           [this] { ReportStartupError(); });
    g_errorInfo.Clear();
    const platform::HKEY root =
        optionsForAll != 0 ? platform::HKEY_LOCAL_MACHINE : platform::HKEY_CURRENT_USER;
    if (!options_.ReadRegOpt(soft_.BasePath(), root)) {
        // Without its stored dates a run would report the whole log again.
        g_errorInfo.AddErrPoint("XHPLIIKOJEKPQTA");
        ReportStartupError();
        return EXIT_FAILED;
    }
    return std::nullopt;
}

std::optional<int> CMainApp::HoldInstance(std::unique_ptr<platform::INamedMutex>& instance) {
    if (platform::OpenNamedMutex(kInstanceMutex, instance) != 0) {
        // Without the machine-wide lock a second instance could run beside this one.
        g_errorInfo.AddErrPoint("XOAAKGUEQCXDBRV");
        ReportStartupError();
        return EXIT_REFUSED;
    }
    const std::int32_t held = instance->Wait(0);
    if (held == 1460) {
        // The lock file may be opened by every account: a squatter is named.
        std::string text = FormatResource(kTextAlreadyRunning, soft_.ProductName());
        if (const std::string holders = instance->Holders(); !holders.empty()) {
            text += " The machine-wide lock is held by " + holders + ".";
        }
        ShowProductMessage(text);
        return EXIT_REFUSED;
    }
    if (held != 0) {
        g_errorInfo.SetError("XOAAKGUEQCXDBRV", 6);
        ReportStartupError();
        g_errorInfo.Clear();
    }
    return std::nullopt;
}

int CMainApp::RunWindow(std::int32_t show, platform::INamedMutex& startup) {
    // A second start finds this one through the channel; without it the
    // window still works, and the machine-wide lock still refuses the second.
    platform::posix::CInstanceListener listener;
    const bool listening = listener.Listen(kWindowClass);
    const platform::posix::PosixFolderSource folders;
    MAIN_WINDOW_START start;
    start.options = &options_;
    start.soft = &soft_;
    start.installFlags = installFlags_;
    start.reportContext = ReportContext();
    start.log = &log_;
    start.folders = &folders;
    start.showCommand = show;
    start.runAuto = runAuto_;
    start.helpFile = HelpFile(args_.empty() ? std::string() : args_.front());
    start.instanceDescriptor = listening ? listener.Descriptor() : -1;
    start.takeShowRequest = [&listener] { return listener.TakeShowRequest(); };
    start.showRequestPending = [&listener] { return listener.HasPending(); };
    start.windowCreated = [&startup] { startup.Release(); };
    // SIGTERM (a logout that kills the session, systemd) interrupts a run as
    // an unattended close would, instead of leaving a report that looks whole.
    std::atomic<bool> terminate{false};
    start.terminateRequested = &terminate;
    MAIN_WINDOW_END end;
    {
        CInterruptSignals signals([&terminate] { terminate = true; });
        end = desktop_->RunMainWindow(start);
    }
    if (terminate && (end.scanStopped || (end.ranReport && end.lastOutcome == 0))) {
        return EXIT_INTERRUPTED;
    }
    if (end.faulted || !end.optionsSaved || (end.ranReport && end.lastOutcome < 0)) {
        return EXIT_FAILED;
    }
    // A run asked for with -c ends the program with its outcome.
    if (runAuto_ && end.lastOutcome != 1) {
        return end.ranReport ? EXIT_INTERRUPTED : EXIT_FAILED;
    }
    return EXIT_COMPLETED;
}

std::string HelpFile(const std::string& programPath) {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::canonical(programPath, error);
    const std::filesystem::path folder =
        error ? std::filesystem::path(programPath).parent_path() : program.parent_path();
    // Installed: /usr/bin/vzrmaud and /usr/share/vzrmaud/help/index.html.
    return (folder / ".." / "share" / "vzrmaud" / "help" / "index.html").lexically_normal();
}

int CMainApp::RunReport() {
    log_.Open(kEventSource);
    CHeadlessRunHost host(log_, options_.GetOptStr(kOptLogFold), soft_.ProductText());
    // Someone watching a run by hand sees how far the read of the log is.
    const std::unique_ptr<CProgressLine> progress = TerminalProgress("vzrmaud");
    host.SetProgress(progress.get());
    CReportRun run(options_, host);
    run.LoadStoredDates();
    {
        CInterruptSignals signals([&host] { host.RequestInterrupt(); });
        host.RunUntilDone(run);
    }
    // A completed run has stored its dates; any other ends by saving the
    // folder, as the window's close does.
    const bool saved = run.LastOutcome() == RunOutcome::completed || run.SaveReportsFolder();
    if (host.Faulted() || run.LastOutcome() == RunOutcome::failed || !saved) {
        return EXIT_FAILED;
    }
    return run.LastOutcome() == RunOutcome::completed ? EXIT_COMPLETED : EXIT_INTERRUPTED;
}

}  // namespace vzrm
