// The reports folder's checks, the same for a report run and for the list of
// folders for audit; each caller keeps its own error points.
#pragma once

#include <string>

namespace vzrm {

// Where a refused folder is recorded: an empty name, a folder that is not there.
struct ReportsFolderPoints {
    const char* empty;
    const char* invalid;
};

// False, with the error recorded at `emptyPoint`, for an empty name.
bool CheckReportsFolderNamed(const std::string& folder, const char* emptyPoint);
// The folder can hold reports: named, an absolute path, an existing folder.
// False with the error recorded otherwise.
bool CheckReportsFolder(const std::string& folder, const ReportsFolderPoints& points);

// The folder ending with the path separator; an empty name stays empty (a
// lone separator would name the root).
std::string FolderWithSeparator(const std::string& folder);

}  // namespace vzrm
