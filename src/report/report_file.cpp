#include "report/report_file.h"

#include <algorithm>
#include <filesystem>

#include "platform/error_codes.h"
#include "platform/seal.h"

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

CReportFile::Failure CReportFile::TakeBack(std::uint64_t bytes) {
    return FailureOf(file_.TakeBack(bytes));
}

CReportFile::Failure CReportFile::LastLineDigest(std::string& digest, bool& endsWithLine) const {
    constexpr std::size_t kPiece = 4096;
    std::uint64_t size = 0;
    if (const std::int32_t error = file_.Size(size)) {
        return FailureOf(error);
    }
    endsWithLine = true;
    if (size == 0) {
        digest = std::string(64, '0');
        return std::nullopt;
    }
    std::string piece;
    if (const std::int32_t error = file_.ReadAt(size - 1, 1, piece)) {
        return FailureOf(error);
    }
    endsWithLine = piece == "\n";
    // The line's end, then back to the line end before it (or the start).
    const std::uint64_t end = endsWithLine ? size - 1 : size;
    std::uint64_t start = end;
    while (start > 0) {
        const std::uint64_t from = start > kPiece ? start - kPiece : 0;
        if (const std::int32_t error =
                file_.ReadAt(from, static_cast<std::size_t>(start - from), piece)) {
            return FailureOf(error);
        }
        const std::size_t newline = piece.rfind('\n');
        if (newline != std::string::npos) {
            start = from + newline + 1;
            break;
        }
        start = from;
    }
    platform::Sha256 hash;
    for (std::uint64_t at = start; at < end; at += kPiece) {
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, end - at));
        if (const std::int32_t error = file_.ReadAt(at, length, piece)) {
            return FailureOf(error);
        }
        hash.Update(piece);
    }
    digest = hash.HexDigest();
    return std::nullopt;
}

CReportFile::Failure CReportFile::Close() {
    return FailureOf(file_.Close());
}

}  // namespace vzrm
