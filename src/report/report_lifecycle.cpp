#include "report/report_lifecycle.h"

#include <algorithm>
#include <unordered_map>

#include "audit/audit_record.h"
#include "base/case_fold.h"
#include "report/report_row.h"

namespace vzrm {

std::vector<RECORDING_LIFE> RecordingLives(const std::vector<HISTORY_ROW>& rows) {
    static const std::string kCreate = ActionWord(ACTION_CREATE);
    static const std::string kOpen = ActionWord(ACTION_OPEN);
    static const std::string kWrite = ActionWord(ACTION_WRITE);
    static const std::string kDelete = ActionWord(ACTION_DELETE);
    std::vector<RECORDING_LIFE> lives;
    std::unordered_map<std::string, std::size_t> byName;
    for (const HISTORY_ROW& entry : rows) {
        const REPORT_ROW& row = entry.row;
        const std::string recording = RowRecording(row);
        const auto [at, added] = byName.try_emplace(FoldCase(recording), lives.size());
        if (added) {
            lives.push_back({recording, {}, {}, {}, {}, 0, {}, {}, entry.report, entry.lastReport});
        }
        RECORDING_LIFE& life = lives[at->second];
        life.firstReport = std::min(life.firstReport, entry.report);
        life.lastReport = std::max(life.lastReport, entry.lastReport);
        const std::string& event = row[kColumnEvent];
        if (event == kCreate && life.created.empty()) {
            life.created = RowTimeKey(row);
            life.createdBy = row[kColumnUser];
            life.createdWith = RowProgram(row);
        } else if (event == kCreate) {
            life.deleted.clear();  // made again under the same name
            life.deletedBy.clear();
        } else if (event == kWrite) {
            life.lastWritten = RowTimeKey(row);
        } else if (event == kOpen) {
            ++life.opens;
        } else if (event == kDelete) {
            life.deleted = RowTimeKey(row);
            life.deletedBy = row[kColumnUser];
        }
    }
    return lives;
}

}  // namespace vzrm
