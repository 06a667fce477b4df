// A report or summary file held open for one run: locked against other
// writers, appended to, and flushed to the disk when closed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/exceptions.h"
#include "platform/exclusive_file.h"

namespace vzrm {

class CReportFile {
  public:
    using Mode = platform::ExclusiveFile::Mode;
    // The failure of an operation, or nothing.
    using Failure = std::optional<CFileException>;

    CReportFile() = default;

    // Creates the file when missing. Another process holding the file open
    // for a run makes this fail with a sharing violation; the file is only
    // truncated once it is ours.
    // A symbolic link at the name, or anything but a plain file with one name,
    // is refused (5) and never written through: the reports folder may be one
    // that other accounts can write to.
    // In `folder` (a descriptor) the file is the path's last name.
    [[nodiscard]] Failure Open(const std::string& path, Mode mode,
                               int folder = platform::kPathAsGiven);
    // Creates a new file at the first of pathOf(1), pathOf(2), ... that is
    // free; `path` is the one created.
    [[nodiscard]] Failure CreateFirstFree(const std::function<std::string(int)>& pathOf,
                                          std::string& path, int folder = platform::kPathAsGiven);
    // Why the last open refused the file, or empty.
    const std::string& Refusal() const { return refusal_; }
    // Writes the text at the end of the file.
    [[nodiscard]] Failure Append(const std::string& text);
    // Takes back the last `bytes` bytes written (see ExclusiveFile::TakeBack).
    [[nodiscard]] Failure TakeBack(std::uint64_t bytes);
    // The SHA-256 (hex) of the file's last line, without its line end, and
    // whether the file ends with a line end; a file without any byte has
    // the digest of nothing before it: 64 zeros. Read a piece at a time.
    [[nodiscard]] Failure LastLineDigest(std::string& digest, bool& endsWithLine) const;
    const std::string& Path() const { return path_; }
    // Flushes to the disk and closes; the file is closed even on failure.
    [[nodiscard]] Failure Close();
    bool IsOpen() const { return file_.IsOpen(); }

  private:
    Failure FailureOf(std::int32_t error) const;

    platform::ExclusiveFile file_;
    std::string path_;
    std::string refusal_;
};

}  // namespace vzrm
