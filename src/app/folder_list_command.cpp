#include "app/folder_list_command.h"

#include <cerrno>
#include <filesystem>

#include "base/error_info.h"
#include "base/error_texts.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "platform/posix/standard_streams.h"
#include "report/folder_scan.h"
#include "report/run_host.h"

namespace vzrm {
namespace {

constexpr char kStandardOutput[] = "(standard output)";

// Nobody to ask and nothing to repaint.
class CommandScanHost final : public IScanHost {
  public:
    int AskYesNo(const std::string&, std::uint32_t) override { return IDYES; }
    void ShowInformation(const std::string&, std::uint32_t) override {}
    void ShowErrorInfo() override {}
    void FocusFolderField() override {}
    bool ReadFolderField(std::string&) override { return false; }
    void WriteFolderField(const std::string&) override {}
    void ShowWaitCursor(bool) override {}
    void SetScanBusy(bool) override {}
    std::uint32_t TickCount() override { return 0; }
    void PumpMessages() override {}
    void ShowProgress(std::uint32_t, const std::string&) override {}
};

class StdoutOutput final : public IListOutput {
  public:
    CReportFile::Failure Append(const std::string& text) override {
        if (const std::int32_t code =
                platform::posix::WriteAll(platform::posix::Stream::output, text)) {
            return CFileException(CFileException::CauseOfError(code), code, kStandardOutput);
        }
        return std::nullopt;
    }
};

struct Arguments {
    std::string output;
    std::vector<std::string> folders;
};

bool ParseArguments(const std::vector<std::string>& args, Arguments& out, std::ostream& messages) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--output" && i + 1 < args.size() && out.output.empty()) {
            out.output = args[++i];
        } else if (args[i].rfind("--", 0) == 0 || args[i].empty()) {
            messages << "usage: vzrmlog folders [--output FILE] [FOLDER...]\n";
            return false;
        } else {
            out.folders.push_back(args[i]);
        }
    }
    return true;
}

bool CheckFolders(const std::vector<std::string>& folders, const platform::IFolderSource& source,
                  std::ostream& messages) {
    for (const std::string& folder : folders) {
        platform::FolderId id;
        if (!source.Identify(folder, id)) {
            messages << "vzrmlog: " << folder << ": not a folder\n";
            return false;
        }
    }
    return true;
}

int Finish(CFolderScan& scan, bool failed, const std::string& output, std::ostream& messages) {
    if (failed) {
        messages << g_errorInfo.Render() << "\n";
        return 1;
    }
    // A folder that could not be judged may be an audited one: not a success.
    const bool skipped = scan.SkippedCount() > 0;
    if (scan.AuditedCount() == 0 && !skipped) {
        if (!output.empty()) {
            std::error_code ignored;
            std::filesystem::remove(output, ignored);
        }
        messages << LoadResourceText(kTextNoFoldersForAudit) << "\n";
    } else if (!output.empty()) {
        messages << FormatResource(kTextFolderListWritten, output) << "\n";
    }
    if (skipped) {
        messages << SkippedFoldersText(scan.SkippedCount(),
                                       output.empty() ? kStandardOutput : output)
                 << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int RunFolderListCommand(const std::vector<std::string>& args,
                         const platform::IFolderSource& source, std::ostream& messages) {
    Arguments arguments;
    if (!ParseArguments(args, arguments, messages) ||
        !CheckFolders(arguments.folders, source, messages)) {
        return 2;
    }
    g_errorInfo.Clear();
    CommandScanHost host;
    CFolderScan scan(host, source);
    const std::vector<std::string> roots =
        arguments.folders.empty() ? source.FixedDrives() : arguments.folders;
    if (arguments.output.empty()) {
        StdoutOutput out;
        const bool written = scan.WriteWholeList(out, roots, kStandardOutput);
        return Finish(scan, !written, {}, messages);
    }
    const bool written = scan.WriteListFile(arguments.output, roots);
    return Finish(scan, !written, arguments.output, messages);
}

}  // namespace vzrm
