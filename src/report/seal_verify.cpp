#include "report/seal_verify.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "base/resource_text.h"
#include "base/text_ids.h"
#include "report/report_history.h"
#include "report/report_seal.h"

namespace vzrm {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPiece = 64 * 1024;
constexpr std::size_t kFirstLineKept = 200;
constexpr std::size_t kLineKept = 64;
constexpr char kDashes[] = "------------------------------";  // the end of a summary block

// A seal line that is ours: its signature holds, whatever its place in the chain.
struct SEALED {
    std::size_t line = 0;
    std::string runStart;
    std::string report;
    std::string reportDigest;
    std::string blockDigest;
};

struct REPORT_FILE {
    bool listed = false;
    bool plain = false;
};

std::string LineName(std::size_t line) {
    return "seal line " + std::to_string(line);
}

// The SHA-256 of a file read a piece at a time; nothing when it cannot be read.
std::optional<std::string> FileDigest(const fs::path& path, std::vector<char>& buffer) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    platform::Sha256 hash;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            break;
        }
        hash.Update({buffer.data(), got});
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return hash.HexDigest();
}

// "ZRMAudit_20260314_090533[_N].csv" -> "2026-03-14T09:05:33", or empty.
std::string ReportStamp(const std::string& name, const std::string& prefix) {
    if (name.size() < prefix.size() + 15 || name.compare(0, prefix.size(), prefix) != 0) {
        return {};
    }
    const std::string stamp = name.substr(prefix.size(), 15);
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        if (i == 8 ? stamp[i] != '_' : !(stamp[i] >= '0' && stamp[i] <= '9')) {
            return {};
        }
    }
    return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + "T" +
           stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
}

// Reads the seal's lines a piece at a time: each line's text (its first
// kMaxSealLine + 1 bytes) and the digest of all of it.
class CSealLineReader {
  public:
    using Visit = std::function<void(std::size_t number, std::string_view text, bool tooLong,
                                     const std::string& digest)>;
    explicit CSealLineReader(Visit visit) : visit_(std::move(visit)) {}

    void Add(std::string_view text) {
        while (!text.empty()) {
            const std::size_t newline = text.find('\n');
            const std::string_view part = text.substr(0, newline);
            hash_.Update(part);
            size_ += part.size();
            if (line_.size() <= kMaxSealLine) {
                line_.append(part.substr(0, kMaxSealLine + 1 - line_.size()));
            }
            pending_ = true;
            if (newline == std::string_view::npos) {
                return;
            }
            text.remove_prefix(newline + 1);
            End();
        }
    }
    // A last line without its line feed is a line too.
    void Finish() {
        if (pending_) {
            End();
        }
    }

  private:
    void End() {
        visit_(++number_, line_, size_ > kMaxSealLine, hash_.HexDigest());
        line_.clear();
        size_ = 0;
        pending_ = false;
    }

    Visit visit_;
    platform::Sha256 hash_;
    std::string line_;
    std::size_t size_ = 0;
    std::size_t number_ = 0;
    bool pending_ = false;
};

class CFolderCheck {
  public:
    CFolderCheck(const std::string& folder, const std::vector<platform::TrustedSealKey>& keys,
                 const std::function<void(const SEAL_ITEM&)>& item,
                 const std::function<bool(const std::string&)>& reportWanted)
        : folder_(folder), keys_(keys), item_(item), reportWanted_(reportWanted), buffer_(kPiece) {}

    SEAL_CHECK Run() {
        if (!ListReports() || !ReadSeal()) {
            return check_;
        }
        CheckReports();
        if (CheckSummary()) {
            check_.readable = true;
        }
        return check_;
    }

  private:
    void Emit(SealStatus status, const std::string& kind, const std::string& name,
              const std::string& detail) {
        ++check_.counts[static_cast<int>(status)];
        item_({status, kind, name, detail});
    }

    bool ListReports() {
        const std::string pattern = FormatResource(kTextReportFileName, "*");  // "ZRMAudit_*.csv"
        prefix_ = pattern.substr(0, pattern.find('*'));
        std::error_code error;
        fs::directory_iterator entries(folder_, error);
        for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
            const std::string name = entries->path().filename().string();
            if (WildcardMatch(pattern, name)) {
                std::error_code ignored;
                reports_[name] = {true, fs::is_regular_file(entries->symlink_status(ignored))};
            }
        }
        if (error) {
            check_.problem = "the folder cannot be listed";
            return false;
        }
        return true;
    }

    bool ReadSeal() {
        const std::string name = LoadResourceText(kTextSealFileName);
        const fs::path path = fs::path(folder_) / name;
        std::error_code error;
        const fs::file_status status = fs::symlink_status(path, error);
        if (!fs::exists(status)) {
            Emit(SealStatus::missing, "seal file", name,
                 "the folder has no seal: nothing in it is proven");
            return true;
        }
        if (!fs::is_regular_file(status)) {
            Emit(SealStatus::changed, "seal file", name,
                 "not a plain file (a link or a folder): not read");
            return true;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            check_.problem = "the seal file '" + path.string() + "' cannot be read";
            return false;
        }
        std::string previous = kNoPreviousLine;
        CSealLineReader lines([&](std::size_t number, std::string_view text, bool tooLong,
                                  const std::string& digest) {
            CheckLine(number, text, tooLong, previous);
            previous = digest;
        });
        while (in) {
            in.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
            lines.Add({buffer_.data(), static_cast<std::size_t>(in.gcount())});
        }
        if (in.bad()) {
            check_.problem = "the seal file '" + path.string() + "' cannot be read";
            return false;
        }
        lines.Finish();
        return true;
    }

    void CheckLine(std::size_t number, std::string_view text, bool tooLong,
                   const std::string& previous) {
        ++sealLines_;
        SEAL_LINE line;
        std::string why;
        bool ours = false;
        if (tooLong) {
            why = "longer than a seal line can be";
        } else if (ParseSealLine(text, line, why)) {
            const auto key = std::find_if(keys_.begin(), keys_.end(), [&](const auto& trusted) {
                return trusted.key.Fingerprint() == line.fingerprint;
            });
            if (key == keys_.end()) {
                why = "signed by a key that is not trusted here (fingerprint " + line.fingerprint +
                      "); name its public key with --key";
            } else if (!platform::SealSignatureValid(key->key, SealSignedPart(line),
                                                     line.signature)) {
                why = "its signature does not match its text: changed without the key";
            } else {
                ours = true;
                if (line.previous != previous) {
                    why = number == 1 ? "it names a line before it: lines were removed from the "
                                        "start of the seal"
                                      : "the line before it is not the one it names: a line was "
                                        "removed, inserted or moved";
                }
            }
        }
        Emit(why.empty() ? SealStatus::ok : SealStatus::brokenChain, "seal line",
             std::to_string(number), why);
        if (ours) {
            if (sealed_.empty()) {
                firstRunStart_ = line.runStart;
                startKnown_ = line.previous == kNoPreviousLine;
            }
            sealed_.push_back(
                {number, line.runStart, line.report, line.reportDigest, line.blockDigest});
        }
    }

    // Where sealing began is known when nothing was ever sealed, or when
    // the first line of ours is the chain's first.
    bool StartKnown() const { return sealLines_ == 0 || startKnown_; }

    // A report that no line names is from before sealing when its run
    // started before the first sealed run, or when nothing was ever sealed.
    bool BeforeSealing(const std::string& name) const {
        if (sealLines_ == 0) {
            return true;
        }
        const std::string stamp = ReportStamp(name, prefix_);
        return startKnown_ && !stamp.empty() && stamp < firstRunStart_;
    }

    void CheckReports() {
        std::map<std::string, const SEALED*> named;
        for (const SEALED& line : sealed_) {
            if (!line.report.empty()) {
                named.emplace(line.report, &line);
                reports_.try_emplace(line.report);
            }
        }
        for (const auto& [name, file] : reports_) {
            if (reportWanted_ && !reportWanted_(name)) {
                continue;
            }
            const auto sealedBy = named.find(name);
            if (sealedBy == named.end()) {
                if (BeforeSealing(name)) {
                    Emit(SealStatus::unsealedBeforeSealing, "report", name,
                         "from before the first seal line");
                } else {
                    Emit(SealStatus::unsealed, "report", name, "no seal line names it");
                }
                continue;
            }
            const SEALED& line = *sealedBy->second;
            if (!file.listed) {
                Emit(SealStatus::missing, "report", name, "named by " + LineName(line.line));
                continue;
            }
            if (!file.plain) {
                Emit(SealStatus::changed, "report", name,
                     "not a plain file (a link or a folder), named by " + LineName(line.line));
                continue;
            }
            const std::optional<std::string> digest = FileDigest(fs::path(folder_) / name, buffer_);
            if (!digest) {
                Emit(SealStatus::changed, "report", name,
                     "cannot be read, named by " + LineName(line.line));
            } else if (*digest != line.reportDigest) {
                Emit(SealStatus::changed, "report", name,
                     "its SHA-256 is not the one " + LineName(line.line) + " holds");
            } else {
                Emit(SealStatus::ok, "report", name, "sealed by " + LineName(line.line));
            }
        }
    }

    bool ReadSummary(CSummaryBlocks& blocks) {
        const fs::path path = fs::path(folder_) / LoadResourceText(kTextSummaryFileName);
        std::error_code error;
        const fs::file_status status = fs::symlink_status(path, error);
        if (!fs::exists(status)) {
            return true;  // no block: every sealed one is missing
        }
        if (!fs::is_regular_file(status)) {
            Emit(SealStatus::changed, "summary file", path.filename().string(),
                 "not a plain file (a link or a folder): not read");
            return true;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            check_.problem = "the summary '" + path.string() + "' cannot be read";
            return false;
        }
        while (in) {
            in.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
            blocks.Add({buffer_.data(), static_cast<std::size_t>(in.gcount())});
        }
        if (in.bad()) {
            check_.problem = "the summary '" + path.string() + "' cannot be read";
            return false;
        }
        blocks.Finish();
        return true;
    }

    void EmitBlock(SealStatus status, std::size_t block, const std::string& detail) {
        Emit(status, "summary block", std::to_string(block + 1), detail);
    }

    void EmitMissingBlock(const SEALED& line) {
        Emit(SealStatus::missing, "summary block", "-",
             "the block of " + LineName(line.line) + " (run of " + line.runStart +
                 ") is not in the summary");
    }

    // Between two blocks found as sealed (or the summary's ends), the
    // blocks and sealed lines left over pair up as changed; what is left
    // of the lines is missing, what is left of the blocks inserted (after
    // sealing began) or from before it.
    void CheckSummaryPart(const std::vector<CSummaryBlocks::Block>& blocks, std::size_t blockFrom,
                          std::size_t blockTo, std::size_t lineFrom, std::size_t lineTo,
                          bool first) {
        const std::size_t blockCount = blockTo - blockFrom;
        const std::size_t lineCount = lineTo - lineFrom;
        const std::size_t pairs = std::min(blockCount, lineCount);
        const auto changed = [&](std::size_t block, std::size_t line) {
            EmitBlock(SealStatus::changed, block,
                      blocks[block].firstLine + " - not the block " + LineName(sealed_[line].line) +
                          " holds (run of " + sealed_[line].runStart + ")");
        };
        if (first) {
            // Blocks from before sealing come first; the pairs are the last.
            for (std::size_t b = blockFrom; b < blockTo - pairs; ++b) {
                EmitBlock(SealStatus::unsealedBeforeSealing, b, blocks[b].firstLine);
            }
            for (std::size_t l = lineFrom; l < lineTo - pairs; ++l) {
                EmitMissingBlock(sealed_[l]);
            }
            for (std::size_t n = 0; n < pairs; ++n) {
                changed(blockTo - pairs + n, lineTo - pairs + n);
            }
            return;
        }
        for (std::size_t n = 0; n < pairs; ++n) {
            changed(blockFrom + n, lineFrom + n);
        }
        for (std::size_t b = blockFrom + pairs; b < blockTo; ++b) {
            EmitBlock(SealStatus::inserted, b, blocks[b].firstLine + " - no seal line names it");
        }
        for (std::size_t l = lineFrom + pairs; l < lineTo; ++l) {
            EmitMissingBlock(sealed_[l]);
        }
    }

    bool CheckSummary() {
        CSummaryBlocks summary;
        if (!ReadSummary(summary)) {
            return false;
        }
        const std::vector<CSummaryBlocks::Block>& blocks = summary.Blocks();
        // The blocks found as sealed, in the order of both: each block takes
        // the first line after the last one taken that holds its digest.
        std::map<std::string, std::vector<std::size_t>> linesOf;
        for (std::size_t l = 0; l < sealed_.size(); ++l) {
            linesOf[sealed_[l].blockDigest].push_back(l);
        }
        std::size_t blockFrom = 0;
        std::size_t lineFrom = 0;
        bool first = true;
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            const auto found = linesOf.find(blocks[b].digest);
            if (found == linesOf.end()) {
                continue;
            }
            const auto line =
                std::lower_bound(found->second.begin(), found->second.end(), lineFrom);
            if (line == found->second.end()) {
                continue;
            }
            CheckSummaryPart(blocks, blockFrom, b, lineFrom, *line, first && StartKnown());
            EmitBlock(SealStatus::ok, b,
                      blocks[b].firstLine + " - sealed by " + LineName(sealed_[*line].line));
            first = false;
            blockFrom = b + 1;
            lineFrom = *line + 1;
        }
        CheckSummaryPart(blocks, blockFrom, blocks.size(), lineFrom, sealed_.size(),
                         first && StartKnown());
        return true;
    }

    const std::string& folder_;
    const std::vector<platform::TrustedSealKey>& keys_;
    const std::function<void(const SEAL_ITEM&)>& item_;
    const std::function<bool(const std::string&)>& reportWanted_;
    std::vector<char> buffer_;
    SEAL_CHECK check_;
    std::string prefix_;
    std::map<std::string, REPORT_FILE> reports_;
    std::vector<SEALED> sealed_;
    std::size_t sealLines_ = 0;
    std::string firstRunStart_;
    bool startKnown_ = false;
};

}  // namespace

const char* SealStatusText(SealStatus status) {
    switch (status) {
        case SealStatus::ok:
            return "ok";
        case SealStatus::changed:
            return "changed";
        case SealStatus::missing:
            return "missing";
        case SealStatus::unsealed:
            return "unsealed";
        case SealStatus::unsealedBeforeSealing:
            return "unsealed (before sealing)";
        case SealStatus::inserted:
            return "inserted";
        case SealStatus::brokenChain:
            return "broken chain";
    }
    return "?";
}

std::size_t SEAL_CHECK::Items() const {
    std::size_t items = 0;
    for (const std::size_t count : counts) {
        items += count;
    }
    return items;
}

bool SEAL_CHECK::Intact() const {
    return readable && Count(SealStatus::changed) == 0 && Count(SealStatus::missing) == 0 &&
           Count(SealStatus::unsealed) == 0 && Count(SealStatus::inserted) == 0 &&
           Count(SealStatus::brokenChain) == 0;
}

SEAL_CHECK VerifySealedFolder(const std::string& folder,
                              const std::vector<platform::TrustedSealKey>& keys,
                              const std::function<void(const SEAL_ITEM&)>& item,
                              const std::function<bool(const std::string&)>& reportWanted) {
    return CFolderCheck(folder, keys, item, reportWanted).Run();
}

bool HoldsSeal(const std::string& folder) {
    std::error_code error;
    return fs::exists(
        fs::symlink_status(fs::path(folder) / LoadResourceText(kTextSealFileName), error));
}

std::vector<std::string> ReportSealStatuses(const std::string& folder,
                                            const std::vector<std::string>& reports,
                                            const std::vector<bool>& wanted,
                                            const std::vector<platform::TrustedSealKey>& keys) {
    std::map<std::string, std::size_t> indexOf;
    for (std::size_t n = 0; n < reports.size(); ++n) {
        if (n < wanted.size() && wanted[n]) {
            indexOf.emplace(reports[n], n);
        }
    }
    std::vector<std::string> statuses(reports.size());
    const SEAL_CHECK check = VerifySealedFolder(
        folder, keys,
        [&](const SEAL_ITEM& item) {
            if (item.kind != "report") {
                return;
            }
            if (const auto found = indexOf.find(item.name); found != indexOf.end()) {
                statuses[found->second] = SealStatusText(item.status);
            }
        },
        [&](const std::string& name) { return indexOf.count(name) != 0; });
    for (const auto& [name, n] : indexOf) {
        if (statuses[n].empty()) {
            statuses[n] = check.readable ? SealStatusText(SealStatus::unsealed) : "not checked";
        }
    }
    return statuses;
}

void CSummaryBlocks::Add(std::string_view text) {
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string_view part = text.substr(0, newline);
        hash_.Update(part);
        empty_ = false;
        if (line_.size() < kLineKept) {
            line_.append(part.substr(0, kLineKept - line_.size()));
        }
        lineSize_ += part.size();
        if (!firstLineDone_ && firstLine_.size() < kFirstLineKept) {
            firstLine_.append(part.substr(0, kFirstLineKept - firstLine_.size()));
        }
        if (newline == std::string_view::npos) {
            return;
        }
        hash_.Update("\n");
        text.remove_prefix(newline + 1);
        firstLineDone_ = true;
        const std::size_t dashes = sizeof kDashes - 1;
        const bool end = line_.compare(0, dashes, kDashes) == 0 &&
                         (lineSize_ == dashes || (lineSize_ == dashes + 1 && line_.back() == '\r'));
        line_.clear();
        lineSize_ = 0;
        if (end) {
            EndBlock();
        }
    }
}

void CSummaryBlocks::Finish() {
    if (!empty_) {
        EndBlock();
    }
}

void CSummaryBlocks::EndBlock() {
    if (!firstLine_.empty() && firstLine_.back() == '\r') {
        firstLine_.pop_back();
    }
    blocks_.push_back({hash_.HexDigest(), firstLine_});
    firstLine_.clear();
    firstLineDone_ = false;
    empty_ = true;
    line_.clear();
    lineSize_ = 0;
}

}  // namespace vzrm
