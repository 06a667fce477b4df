#include "app/tool_arguments.h"

#include <filesystem>

#include "base/error_texts.h"
#include "platform/error_codes.h"
#include "platform/posix/eventlog/log_file_bytes.h"

namespace vzrm {

ToolArguments ParseToolArguments(const std::vector<std::string>& args,
                                 const std::set<std::string>& known, bool fileOptional) {
    ToolArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
        } else if (known.count(arg) != 0) {
            if (i + 1 >= args.size()) {
                parsed.error = arg + " needs a value";
            } else if (!parsed.options.emplace(arg, args[++i]).second) {
                parsed.error = arg + " is given twice";
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            parsed.error = arg + ": no such option";
        } else if (!parsed.file.empty()) {
            parsed.error = arg + ": one file at a time";
        } else {
            parsed.file = arg;
        }
        if (!parsed.error.empty()) {
            return parsed;
        }
    }
    if (parsed.file.empty() && !parsed.help && !fileOptional) {
        parsed.error = "which file?";
    }
    return parsed;
}

std::string LogPathProblem(const std::string& path) {
    platform::posix::LogFileBytes file;
    switch (const std::int32_t error = file.Open(path)) {
        case platform::kErrorSuccess:
            return "not an event log (neither EVTX nor the classic format)";
        case platform::kErrorInvalidData:
        case platform::kErrorBadFileType: {
            std::error_code ignored;
            return std::filesystem::is_directory(path, ignored)
                       ? "a folder, not a log file"
                       : "not a regular file (a pipe or a device), not a log file";
        }
        case platform::kErrorCantResolveFilename:
            return "a symbolic link, which is not followed";
        case 2:
        case 3:
            return "no such file";
        case 5:
            return "cannot be read (permission denied)";
        default:
            return "cannot be read: " + SystemErrorText(error);
    }
}

}  // namespace vzrm
