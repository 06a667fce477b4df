#include "report/folder_scan.h"

#include <algorithm>

#include "base/error_info.h"
#include "base/error_texts.h"
#include "base/format_text.h"
#include "base/local_date_time.h"
#include "base/message_box.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "platform/error_codes.h"
#include "report/reports_folder.h"
#include "report/run_host.h"
#include "settings/option_names.h"
#include "settings/options_profiles.h"

namespace vzrm {
namespace {

constexpr std::uint32_t kPumpIntervalMs = 100;
// The list's last line before the stop line when the walk was stopped.
constexpr char kStoppedText[] = "The listing was stopped before its end.\r\n";

// The reasons a folder's security cannot be read that only mark its line.
bool IsAcceptedReadError(std::int32_t code) {
    using namespace platform;
    return code == kErrorFileNotFound || code == kErrorAccessDenied || code == kErrorInvalidName ||
           code == kErrorPrivilegeNotHeld;
}

std::string TimeLine(std::uint32_t resource) {
    return FormatResource(resource, LocalDateTimeText(CurrentLocalDateTime()));
}

}  // namespace

std::string SkippedFoldersText(std::uint32_t count, const std::string& listName) {
    return FormatText(
        "The security descriptors of %u folders could not be read; they are marked "
        "\"descriptor unreadable\" in the list: %s",
        count, listName);
}

CFolderScan::CFolderScan(IScanHost& host, const platform::IFolderSource& source)
    : host_(host), source_(source) {}

bool CFolderScan::TakeReportsFolder(COptProf& options) {
    std::string folder;
    if (!host_.ReadFolderField(folder)) {
        folder.clear();
    }
    folder = FolderWithSeparator(folder);
    host_.WriteFolderField(folder);
    options.SetOptStr(kOptLogFold, folder);
    const std::string reports = options.GetOptStr(kOptLogFold);
    if (!CheckReportsFolder(reports, {"JNTONAGMVTRNFRH", "TKJMICKSKJPQCOH"})) {
        host_.FocusFolderField();
        return false;
    }
    listPath_ = reports + kFolderListName;
    std::string refusal;
    if (const std::int32_t error = listFolder_.Open(reports, refusal)) {
        g_errorInfo.SetError("DHIJEEFYHHOSYDI", error, refusal, StrgLine(listPath_));
        listPath_.clear();
        host_.FocusFolderField();
        return false;
    }
    return true;
}

bool CFolderScan::OnFoldersButton(COptProf& options) {
    if (scanning_) {
        return false;  // reached again through the message pump
    }
    listPath_.clear();
    if (!TakeReportsFolder(options)) {
        return true;
    }
    if (host_.AskYesNo(LoadResourceText(kTextFolderListQuestion), MB_YESNO | MB_ICONQUESTION) !=
        IDYES) {
        return false;
    }
    scanning_ = true;
    host_.ShowWaitCursor(true);
    host_.SetScanBusy(true);
    auditedCount_ = 0;
    lastPump_ = host_.TickCount();

    const bool written = WriteListFile(listPath_, source_.FixedDrives(), listFolder_.Descriptor());
    host_.SetScanBusy(false);
    scanning_ = false;
    if (!written) {
        host_.ShowErrorInfo();
    } else if (!stopped_) {
        ShowOutcome();  // a stopped walk ends with the program: nobody waits for a box
    }
    listFolder_.Close();
    host_.ShowWaitCursor(false);
    return false;
}

bool CFolderScan::WriteListFile(const std::string& path, const std::vector<std::string>& roots,
                                int folder) {
    CReportFile file;
    if (auto failure = file.Open(path, CReportFile::Mode::truncate, folder)) {
        g_errorInfo.SetFileError("DHIJEEFYHHOSYDI", &*failure, file.Refusal(), StrgLine(path));
        return false;
    }
    CFileListOutput out(file);
    const bool written = WriteWholeList(out, roots, path);
    // A list that did not reach the disk is no success.
    if (auto failure = file.Close(); failure && written) {
        g_errorInfo.SetFileError("QZWVBNRTKLMHXSA", &*failure, {}, StrgLine(path));
        return false;
    }
    return written;
}

bool CFolderScan::WriteWholeList(IListOutput& out, const std::vector<std::string>& roots,
                                 const std::string& listName) {
    const bool walked = WriteList(out, roots, listName);
    const std::string errorText = walked ? std::string() : g_errorInfo.Render() + "\r\n";
    return EndList(out, errorText, listName) && walked;
}

void CFolderScan::ShowOutcome() {
    const std::string skipped =
        skippedCount_ > 0 ? "\n\n" + SkippedFoldersText(skippedCount_, listPath_) : std::string();
    if (auditedCount_ > 0) {
        host_.ShowInformation(FormatResource(kTextFolderListWritten, listPath_) + skipped,
                              MB_ICONINFORMATION);
        return;
    }
    // The list is kept while it names folders that could not be read.
    if (skippedCount_ == 0) {
        platform::RemoveFile(listFolder_.Descriptor(), kFolderListName);
    }
    host_.ShowInformation(LoadResourceText(kTextNoFoldersForAudit) + skipped, MB_ICONINFORMATION);
}

bool CFolderScan::WriteList(IListOutput& out, const std::vector<std::string>& roots,
                            const std::string& listName) {
    out_ = &out;
    listName_ = listName;
    auditedCount_ = 0;
    skippedCount_ = 0;
    foldersRead_ = 0;
    stopped_ = false;
    visited_.clear();
    try {
        Write(TimeLine(kTextProcessingStart));
        for (const std::string& root : roots) {
            if (!source_.Identify(root, drive_) || !visited_.insert(drive_).second) {
                continue;  // not a folder, or reached already through another root
            }
            ScanFolder(root);
        }
    } catch (const ScanFailed&) {
        return false;
    } catch (const ScanStopped&) {
        stopped_ = true;
    }
    return true;
}

bool CFolderScan::EndList(IListOutput& out, const std::string& errorText,
                          const std::string& listName) {
    if (auto failure = out.Append(errorText + TimeLine(kTextProcessingStop))) {
        if (errorText.empty()) {
            g_errorInfo.SetFileError("MTTXZKBOCPOTCRL", &*failure, {}, StrgLine(listName));
        }
        return false;
    }
    return true;
}

void CFolderScan::Write(const std::string& text) {
    if (auto failure = out_->Append(text)) {
        g_errorInfo.SetFileError("MTTXZKBOCPOTCRL", &*failure, {}, StrgLine(listName_));
        throw ScanFailed{};
    }
}

void CFolderScan::PumpWhenDue(const std::string& folder) {
    const std::uint32_t now = host_.TickCount();
    if (now - lastPump_ > kPumpIntervalMs) {
        host_.ShowProgress(foldersRead_, folder);
        host_.PumpMessages();
        lastPump_ = host_.TickCount();
    }
}

bool CFolderScan::EnterOnce(const platform::FolderEntry& entry) {
    if (!entry.idKnown) {
        return true;
    }
    if (entry.id.volume != drive_.volume) {
        return false;  // another file system mounted here: a drive of its own
    }
    return visited_.insert(entry.id).second;
}

void CFolderScan::ScanFolder(const std::string& path) {
    PumpWhenDue(path);
    std::vector<platform::FolderEntry> entries = source_.ListFolders(path);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    for (const platform::FolderEntry& entry : entries) {
        if (host_.StopRequested()) {
            Write(kStoppedText);
            throw ScanStopped{};
        }
        if (!EnterOnce(entry)) {
            continue;
        }
        switch (ClassifyFolder(entry.path)) {
            case FolderVerdict::audited:
                ++auditedCount_;
                Write(entry.path + "\r\n");
                break;
            case FolderVerdict::auditedWithSubfolders:
                ++auditedCount_;
                Write(FormatText("%s (and subfolders)\r\n", entry.path));
                continue;
            case FolderVerdict::notAudited:
                break;
        }
        // A folder that could not be looked at cannot be listed either; not
        // entering it also keeps a folder without identity out of any cycle.
        if (entry.idKnown) {
            ScanFolder(entry.path);
        }
    }
}

FolderVerdict CFolderScan::ClassifyFolder(const std::string& path) {
    ++foldersRead_;
    platform::FolderDescriptor descriptor;
    const std::int32_t code = source_.ReadDescriptor(path, descriptor);
    if (IsAcceptedReadError(code)) {
        Write(FormatText("%s [%s]\r\n", path, SystemErrorText(code)));
        return FolderVerdict::notAudited;
    }
    // One folder's descriptor says nothing of the others: the walk goes on.
    if (code != 0) {
        Skip(path, SystemErrorText(code));
        return FolderVerdict::notAudited;
    }
    FolderVerdict verdict = FolderVerdict::notAudited;
    if (const formats::FormatError error = VerdictOfDescriptor(descriptor, verdict)) {
        Skip(path, FormatText("%s (offset %u: %s)", SystemErrorText(error.code),
                              static_cast<unsigned>(error.offset), error.what));
        return FolderVerdict::notAudited;
    }
    return verdict;
}

void CFolderScan::Skip(const std::string& path, const std::string& reason) {
    ++skippedCount_;
    Write(FormatText("%s [descriptor unreadable: %s]\r\n", path, reason));
}

}  // namespace vzrm
