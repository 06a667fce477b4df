#include "report/reports_folder.h"

#include <filesystem>

#include "base/error_info.h"
#include "base/message_box.h"
#include "base/resource_text.h"
#include "base/text_ids.h"

namespace vzrm {

bool CheckReportsFolderNamed(const std::string& folder, const char* emptyPoint) {
    if (folder.empty()) {
        g_errorInfo.SetError(emptyPoint, 0, LoadResourceText(kTextReportsFolderEmpty), {},
                             MB_ICONWARNING);
        return false;
    }
    return true;
}

bool CheckReportsFolder(const std::string& folder, const ReportsFolderPoints& points) {
    if (!CheckReportsFolderNamed(folder, points.empty)) {
        return false;
    }
    std::error_code error;
    if (!std::filesystem::path(folder).is_absolute() ||
        !std::filesystem::is_directory(folder, error)) {
        g_errorInfo.SetError(points.invalid, 0, FormatResource(kTextFolderInvalid, folder));
        return false;
    }
    return true;
}

std::string FolderWithSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() != '/') {
        return folder + '/';
    }
    return folder;
}

}  // namespace vzrm
