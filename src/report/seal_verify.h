// `vzrmlog verify`: a reports folder against its seal. Every seal line is
// checked for its place in the chain and its signature; every report the
// seal names against its digest; the summary block by block against the
// sealed blocks; and every report and block the seal does not name is
// listed. The folder is only read, each file a piece at a time: the time is
// linear in the folder's size and the memory does not grow with the reports.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/seal.h"

namespace vzrm {

enum class SealStatus {
    ok,
    changed,
    missing,
    unsealed,               // a report or block after the first seal line that no line names
    unsealedBeforeSealing,  // one from before the first seal line: not a failure
    inserted,               // a summary block among the sealed ones that no line names
    brokenChain,            // a seal line that is not where the chain says, or not ours
};
inline constexpr std::size_t kSealStatusCount = 7;

// "ok", "changed", "missing", "unsealed", "unsealed (before sealing)",
// "inserted", "broken chain".
const char* SealStatusText(SealStatus status);

struct SEAL_ITEM {
    SealStatus status = SealStatus::ok;
    std::string kind;    // "seal file", "seal line", "report", "summary block"
    std::string name;    // the line's or block's number, the report's name
    std::string detail;  // what was found, or empty
};

struct SEAL_CHECK {
    bool readable = false;  // false: the folder (or a file in it) could not be read
    std::string problem;    // why not
    std::size_t counts[kSealStatusCount] = {};
    std::size_t Count(SealStatus status) const { return counts[static_cast<int>(status)]; }
    std::size_t Items() const;
    // Everything sealed is intact and nothing was added since sealing began.
    bool Intact() const;
};

// Checks `folder` with the public keys `keys` (a line signed by another key
// is a broken chain); each item goes to `item` as it is found: the seal
// lines in order, then the reports by name, then the summary's blocks. With
// `reportWanted`, only the reports it accepts are checked and listed.
SEAL_CHECK VerifySealedFolder(const std::string& folder,
                              const std::vector<platform::TrustedSealKey>& keys,
                              const std::function<void(const SEAL_ITEM&)>& item,
                              const std::function<bool(const std::string&)>& reportWanted = {});

// Whether the folder holds a seal file (a link or anything else at its name
// counts: verify names it).
bool HoldsSeal(const std::string& folder);

// What verify says of each report of `reports` (names in `folder`) that is
// `wanted`: "ok", "changed", "unsealed", "unsealed (before sealing)"; empty
// for the others. Only the wanted reports are read.
std::vector<std::string> ReportSealStatuses(const std::string& folder,
                                            const std::vector<std::string>& reports,
                                            const std::vector<bool>& wanted,
                                            const std::vector<platform::TrustedSealKey>& keys);

// Splits summary text given a piece at a time into its blocks: each ends
// with the line of 30 dashes; text after the last one is a block too.
class CSummaryBlocks {
  public:
    struct Block {
        std::string digest;     // SHA-256 of the block's bytes
        std::string firstLine;  // without its line end, cut at 200 bytes
    };
    void Add(std::string_view text);
    // The block not ended by a line of dashes, if any, becomes the last.
    void Finish();
    const std::vector<Block>& Blocks() const { return blocks_; }

  private:
    void EndBlock();

    std::vector<Block> blocks_;
    platform::Sha256 hash_;
    std::string line_;  // the current line, its first 64 bytes
    std::size_t lineSize_ = 0;
    std::string firstLine_;  // of the current block
    bool firstLineDone_ = false;
    bool empty_ = true;  // the current block holds nothing yet
};

}  // namespace vzrm
