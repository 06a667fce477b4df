// The program's command line: /minimize (/m), /create (/c), /repfold (/rf) DIR,
// with "-" or "/" and in any letter case, into the options' override pack.
#pragma once

#include <string>
#include <vector>

namespace vzrm {

class COptProf;

// `args` excludes the program path. Errors are recorded in the error record
// (one record naming the first wrong argument, every name in its extended
// text); false when there was one.
bool ParseCommandLine(COptProf& options, const std::vector<std::string>& args);

// Whether the arguments ask for an unattended report (/create, -c).
bool AsksForReport(const std::vector<std::string>& args);

// Records a wrong argument; an empty name is left out of the message.
void ReportParameterError(const std::string& name);

}  // namespace vzrm
