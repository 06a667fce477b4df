// The command line of a vzrmlog command: one file and options with a value,
// in any order, as command-line tools on Linux take them.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace vzrm {

struct ToolArguments {
    std::string file;
    std::map<std::string, std::string> options;  // "--format" -> "json"
    bool help = false;                           // --help or -h anywhere
    std::string error;                           // what is wrong; empty when nothing
};

// `args` after the command's name; `known` the options that take a value.
// Without `fileOptional`, a command line without a file is wrong.
ToolArguments ParseToolArguments(const std::vector<std::string>& args,
                                 const std::set<std::string>& known, bool fileOptional = false);

// Why a path is no log to read, in words for a message: "no such file", "a
// folder, not a log file", "cannot be read (permission denied)", ..., or "not
// an event log (neither EVTX nor the classic format)" when it can be read.
std::string LogPathProblem(const std::string& path);

}  // namespace vzrm
