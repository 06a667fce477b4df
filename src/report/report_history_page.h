// The history as one self-contained web page: the recordings' lives in a
// table, then per recording its timeline and its rows. Nothing is loaded
// from elsewhere; a little script filters the recordings as one types.
#pragma once

#include <string>
#include <vector>

#include "report/report_lifecycle.h"

namespace vzrm {

// Beyond this many recordings they start folded, so the page stays short.
constexpr std::size_t kUnfoldedRecordings = 12;

// `rows` in time order; without rows, the page holds only the lives. With
// `seals` (one per report, where the folder holds a seal: verify's status of
// it), each row shows its report's, and rows of reports that do not verify
// are marked.
std::string HistoryPage(const std::vector<HISTORY_ROW>& rows,
                        const std::vector<std::string>& reports,
                        const std::vector<RECORDING_LIFE>& lives, const std::string& folder,
                        const std::vector<std::string>& seals = {});

}  // namespace vzrm
