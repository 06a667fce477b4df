// The history of a reports folder: every "ZRMAudit_*.csv" in it, in the order
// of their names (the runs' start times), read a line at a time; only the rows
// the filter wants are kept. The folder is only read.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include "report/report_history.h"

namespace vzrm {

struct HistoryFolderOutcome {
    bool listed = false;  // the folder could be listed
    std::size_t reportsRead = 0;
    std::size_t filesSkipped = 0;  // not reports, not plain files, not readable
};

// Adds the wanted rows of every report to `history`; one warning per file
// with bad lines or that is no report goes to `warnings`, naming the file
// and the first bad line.
HistoryFolderOutcome ReadHistoryFolder(const std::string& folder, const HistoryFilter& filter,
                                       CHistory& history, std::ostream& warnings);

}  // namespace vzrm
