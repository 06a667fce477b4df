// Where progress lines come from: standard error, when a person watches it.
#pragma once

#include <memory>
#include <string>

#include "report/progress_line.h"

namespace vzrm {

// A progress line on standard error when it is a terminal, as wide as the
// terminal; null when it is not (cron, services, pipes and files see nothing).
std::unique_ptr<CProgressLine> TerminalProgress(const std::string& label);

}  // namespace vzrm
