// The folder list without a window: `vzrmlog folders [--output FILE]
// [FOLDER...]` walks the fixed drives, or the folders given, and writes the
// same list as the "Folders for audit" button to the file or standard output.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/folders.h"

namespace vzrm {

// Exit statuses: 0 the list was written (an empty --output list is deleted,
// as the button does), 1 the scan or the output failed, 2 a wrong command
// line. Messages and errors go to `messages`.
int RunFolderListCommand(const std::vector<std::string>& args,
                         const platform::IFolderSource& source, std::ostream& messages);

}  // namespace vzrm
