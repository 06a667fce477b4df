// `vzrmlog history [DIR] [--file NAME] [--user USER] [--program NAME]
// [--from DATE] [--to DATE] [--format tsv|csv|json|html] [--summary]
// [--key PUBLIC_KEY]`: the rows of every audit report in the folder about
// the recordings wanted, each once, oldest first, with the report it came
// from (and, where the folder holds a seal, whether that report verifies),
// and a line per recording on its life. DIR defaults to the stored reports
// folder.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vzrm {

// 0 when at least one report was read, 1 when none or the output failed, 2
// for a wrong command line.
int RunHistoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The reports folder of the stored options, where vzrmaud writes them; empty
// when none is stored.
std::string StoredReportsFolder();

}  // namespace vzrm
