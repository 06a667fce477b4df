#include "diagnostics/error_report.h"

#include "diagnostics/system_description.h"
#include "settings/options_profiles.h"

namespace vzrm {

std::string SystemSummaryText() {
    g_errorInfo.Suspend(true);
    std::string user;
    GetCurrentUserName(user);
    const std::string text =
        "OS: " + DescribeThisOperatingSystem() + "\r\n" + "CPU: " + DescribeThisProcessor() +
        "\r\n" + "RAM: " + DescribeThisMemory() + "\r\n" +
        "User: " + (user.empty() ? "???" : user) +
        ", Is Admin: " + (platform::IsUserAdministrator() ? "yes" : "no") + "\r\n";
    g_errorInfo.Resume();
    return text;
}

std::string EnvironmentText(const ERROR_REPORT_CONTEXT& context) {
    std::string arguments;
    for (const std::string& arg : context.commandLine) {
        arguments += "<" + arg + ">";
    }
    return "Product: " + context.productText + "\r\n" + InstallLine(context.installFlags) +
           "CmdLine: " + arguments + "\r\n" + SystemSummaryText();
}

std::string ErrorReportText(const ERROR_REPORT_CONTEXT& context, const CErrorInfo& record) {
    const std::string dump = context.options != nullptr ? context.options->DumpText() : "";
    return EnvironmentText(context) + std::string(40, '-') + "\r\n" + record.Render() + "\r\n" +
           dump + "\r\n";
}

int ShowErrorInfo(const ERROR_REPORT_CONTEXT& context, IErrorBox& box, const CErrorInfo* record) {
    const CErrorInfo& shown = record != nullptr ? *record : g_errorInfo;
    if (!shown.HasError()) {
        return 0;
    }
    if (box.IsShowing()) {
        return 1;  // a failure inside the box's own handling opens no second box
    }
    const std::string caption =
        shown.GetCaption().empty() ? context.applicationName : shown.GetCaption();
    box.Show(caption, shown.GetText(), ErrorReportText(context, shown), shown.GetStyle(),
             context.supportAddress);
    return 1;
}

}  // namespace vzrm
