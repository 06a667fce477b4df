#include "app/command_line.h"

#include "base/case_fold.h"
#include "base/error_info.h"
#include "base/error_texts.h"
#include "base/resource_text.h"
#include "base/text_ids.h"
#include "settings/option_names.h"
#include "settings/options_profiles.h"

namespace vzrm {
namespace {

bool IsParameter(const std::string& arg) {
    return !arg.empty() && (arg[0] == '-' || arg[0] == '/');
}

bool Named(const std::string& name, const char* longName, const char* shortName) {
    return EqualNoCase(name, longName) || EqualNoCase(name, shortName);
}

// Whether the argument after /repfold is another parameter rather than the
// folder. Absolute paths here begin with "/", so only "-" or one of our own
// names after "/" counts.
bool TakesTheFolderPlace(const std::string& arg) {
    if (arg.empty() || arg[0] == '-') {
        return !arg.empty();
    }
    const std::string name = arg.substr(1);
    return arg[0] == '/' && (Named(name, "minimize", "m") || Named(name, "create", "c") ||
                             Named(name, "repfold", "rf"));
}

}  // namespace

void ReportParameterError(const std::string& name) {
    if (g_errorInfo.HasError()) {
        g_errorInfo.AddErrTextExt(StrgLine(name));
        return;
    }
    const std::string named = name.empty() ? "" : "[" + name + "] ";
    g_errorInfo.SetError("GRQPGWMYOADVWBB", 0, FormatResource(kTextInvalidParameter, named),
                         StrgLine(name));
}

bool AsksForReport(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (IsParameter(arg) && Named(arg.substr(1), "create", "c")) {
            return true;
        }
    }
    return false;
}

bool ParseCommandLine(COptProf& options, const std::vector<std::string>& args) {
    bool ok = true;
    const auto fail = [&ok](const std::string& name) {
        ReportParameterError(name);
        ok = false;
    };
    // The folder parameter, when it was the last parameter so far.
    std::string lastFolderParameter;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!IsParameter(arg)) {
            fail(lastFolderParameter);  // a value nothing asked for
            continue;
        }
        const std::string name = arg.substr(1);
        lastFolderParameter.clear();
        if (Named(name, "minimize", "m")) {
            options.Overrides().Add(COptItem::Int(kOptRunMin, 1));
        } else if (Named(name, "create", "c")) {
            options.Overrides().Add(COptItem::Int(kOptRunAuto, 1));
        } else if (Named(name, "repfold", "rf")) {
            if (i + 1 >= args.size() || TakesTheFolderPlace(args[i + 1])) {
                fail(name);
                continue;
            }
            options.Overrides().Add(COptItem::Str(kOptLogFold, args[++i]));
            lastFolderParameter = name;
        } else {
            fail(arg);
        }
    }
    return ok;
}

}  // namespace vzrm
