// A recording's rows drawn as an inline SVG timeline: one lane per user, a
// mark per action shaped and coloured by its kind, the time axis labelled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/report_history.h"

namespace vzrm {

// The text with &, <, >, " and ' as HTML entities.
std::string HtmlText(std::string_view text);

// The marks' key: one sample of each kind with its name.
std::string TimelineLegend();

// The SVG of the rows of one recording, in time order.
std::string RecordingTimeline(const std::vector<const HISTORY_ROW*>& rows);

}  // namespace vzrm
