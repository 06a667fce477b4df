// The list of folders for audit: every folder of the fixed drives (or of the
// folders given) whose SACL holds an audit entry, written to
// "_ZRMAudit_folders.txt" in the reports folder or to another output.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/exclusive_file.h"
#include "platform/folders.h"
#include "report/folder_verdict.h"
#include "report/report_file.h"
#include "report/scan_host.h"

namespace vzrm {

class COptProf;

inline constexpr char kFolderListName[] = "_ZRMAudit_folders.txt";

// Where the list's lines go.
class IListOutput {
  public:
    virtual ~IListOutput() = default;
    virtual CReportFile::Failure Append(const std::string& text) = 0;
};

// The list file of a scan.
class CFileListOutput final : public IListOutput {
  public:
    explicit CFileListOutput(CReportFile& file) : file_(file) {}
    CReportFile::Failure Append(const std::string& text) override { return file_.Append(text); }

  private:
    CReportFile& file_;
};

// The outcome's note of folders whose descriptor gave no verdict.
std::string SkippedFoldersText(std::uint32_t count, const std::string& listName);

class CFolderScan {
  public:
    CFolderScan(IScanHost& host, const platform::IFolderSource& source);
    virtual ~CFolderScan() = default;
    CFolderScan(const CFolderScan&) = delete;
    CFolderScan& operator=(const CFolderScan&) = delete;

    // The "Folders for audit" command: asks, lists the fixed drives' folders
    // into the reports folder and shows the outcome. True when it recorded an
    // error that the caller still has to show (the folder field's checks);
    // a failed scan shows its error itself.
    bool OnFoldersButton(COptProf& options);

    // The whole list into the file at `path` (made anew), the error of a
    // failed walk at its end. False when any of it failed; the error is in
    // g_errorInfo.
    // In `folder` (a descriptor) the file is the path's last name.
    bool WriteListFile(const std::string& path, const std::vector<std::string>& roots,
                       int folder = platform::kPathAsGiven);
    // The whole list into `out`: WriteList, then EndList with the walk's error.
    bool WriteWholeList(IListOutput& out, const std::vector<std::string>& roots,
                        const std::string& listName);

    // The start line, then the folders below each root, in order. False when
    // the walk failed; the error is in g_errorInfo. `listName` names the
    // output in write errors.
    bool WriteList(IListOutput& out, const std::vector<std::string>& roots,
                   const std::string& listName);
    // The rendered error of a failed walk (empty after a sound one), then the
    // stop line. False when it cannot be written; recorded after a sound walk.
    bool EndList(IListOutput& out, const std::string& errorText, const std::string& listName);

    std::uint32_t AuditedCount() const { return auditedCount_; }
    // Folders whose descriptor could not be read or parsed: marked in the
    // list, not entered in the count of audited ones.
    std::uint32_t SkippedCount() const { return skippedCount_; }
    // The last walk was stopped at the host's request; its list is cut short.
    bool Stopped() const { return stopped_; }
    const std::string& ListPath() const { return listPath_; }

  protected:
    // Walks the subfolders of `path`; throws ScanFailed after recording an error.
    void ScanFolder(const std::string& path);
    // Reads the folder's SACL and decides; throws ScanFailed after recording an error.
    virtual FolderVerdict ClassifyFolder(const std::string& path);

    struct ScanFailed {};
    struct ScanStopped {};

  private:
    struct IdHash {
        std::size_t operator()(const platform::FolderId& id) const {
            return std::hash<std::uint64_t>()(id.file * 31 + id.volume);
        }
    };

    void PumpWhenDue(const std::string& folder);
    // Marks the folder's line with why its descriptor gave no verdict.
    void Skip(const std::string& path, const std::string& reason);
    // Marks the entry visited; false when it is not to be entered (another
    // file system, or a folder already visited through another path).
    bool EnterOnce(const platform::FolderEntry& entry);
    void Write(const std::string& text);
    bool TakeReportsFolder(COptProf& options);
    void ShowOutcome();

    IScanHost& host_;
    const platform::IFolderSource& source_;
    IListOutput* out_ = nullptr;
    std::string listName_;
    std::string listPath_;
    // The reports folder as checked, held while its list is written and
    // looked at, so that a folder swapped for a link meanwhile is not written.
    platform::OpenFolder listFolder_;
    bool scanning_ = false;
    bool stopped_ = false;
    std::uint32_t auditedCount_ = 0;
    std::uint32_t skippedCount_ = 0;
    std::uint32_t foldersRead_ = 0;
    std::uint32_t lastPump_ = 0;
    platform::FolderId drive_;
    std::unordered_set<platform::FolderId, IdHash> visited_;
};

}  // namespace vzrm
