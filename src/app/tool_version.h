// What --version prints for the command-line tools.
#pragma once

#include <string>

namespace vzrm {

// "vzrmlog (Velmora ZRM Auditor) 1.0 (build 414)", the legal notice, line ends.
std::string ToolVersionText(const std::string& tool);

}  // namespace vzrm
