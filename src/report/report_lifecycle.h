// A recording's life in one line: made when, by whom and with which program,
// last written, opened how often, deleted or still there, and the reports
// that tell of it.
#pragma once

#include <string>
#include <vector>

#include "report/report_history.h"

namespace vzrm {

struct RECORDING_LIFE {
    std::string recording;  // folder and name as its first row gives them
    std::string created;    // "YYYY.MM.DD HH:MM:SS", empty when no report saw it made
    std::string createdBy;
    std::string createdWith;  // the program's folder and name
    std::string lastWritten;
    std::size_t opens = 0;
    std::string deleted;  // empty while it is still there
    std::string deletedBy;
    std::size_t firstReport = 0;  // indexes of the reports
    std::size_t lastReport = 0;
};

// One life per recording (names compared without regard to case), in the
// order of their first rows; `rows` in time order.
std::vector<RECORDING_LIFE> RecordingLives(const std::vector<HISTORY_ROW>& rows);

}  // namespace vzrm
