#include "report/report_file.h"

#include <filesystem>

#include "platform/error_codes.h"

namespace vzrm {

CReportFile::Failure CReportFile::FailureOf(std::int32_t error) const {
    if (error == platform::kErrorSuccess) {
        return std::nullopt;
    }
    return CFileException(CFileException::CauseOfError(error), error, path_);
}

CReportFile::Failure CReportFile::Open(const std::string& path, Mode mode, int folder) {
    path_ = path;
    std::string why;
    const std::string name =
        folder == platform::kPathAsGiven ? path : std::filesystem::path(path).filename().string();
    const std::int32_t error = file_.Open(folder, name, mode, why);
    refusal_ = why.empty() ? std::string() : "The file '" + path + "' is refused: " + why + ".";
    return FailureOf(error);
}

CReportFile::Failure CReportFile::CreateFirstFree(const std::function<std::string(int)>& pathOf,
                                                  std::string& path, int folder) {
    // Names planted ahead by another account end the search after a while.
    constexpr int kMaxTries = 1000;
    Failure failure;
    for (int n = 1; n <= kMaxTries; ++n) {
        path = pathOf(n);
        failure = Open(path, Mode::create, folder);
        if (!failure || failure->GetOsError() != platform::kErrorAlreadyExists) {
            break;
        }
    }
    return failure;
}

CReportFile::Failure CReportFile::Append(const std::string& text) {
    return FailureOf(file_.Append(text));
}

CReportFile::Failure CReportFile::Close() {
    return FailureOf(file_.Close());
}

}  // namespace vzrm
