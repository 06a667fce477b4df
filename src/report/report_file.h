// A report or summary file held open for one run: locked against other
// writers, appended to, and flushed to the disk when closed.
#pragma once

#include <optional>
#include <string>

#include "diagnostics/exceptions.h"

namespace vzrm {

class CReportFile {
  public:
    enum class Mode { truncate, keep };
    // The failure of an operation, or nothing.
    using Failure = std::optional<CFileException>;

    CReportFile() = default;
    ~CReportFile();
    CReportFile(const CReportFile&) = delete;
    CReportFile& operator=(const CReportFile&) = delete;

    // Creates the file when missing. Another process holding the file open
    // for a run makes this fail with a sharing violation; the file is only
    // truncated once it is ours.
    Failure Open(const std::string& path, Mode mode);
    // Writes the text at the end of the file.
    Failure Append(const std::string& text);
    // Flushes to the disk and closes; the file is closed even on failure.
    Failure Close();
    bool IsOpen() const { return fd_ >= 0; }

  private:
    Failure FailureOfErrno() const;

    int fd_ = -1;
    std::string path_;
};

}  // namespace vzrm
