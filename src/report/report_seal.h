// The seal of a reports folder: `_ZRMAudit_seal.txt` beside the summary, one
// line per summary block, each line signed with the installation's key and
// naming the line before it. A line is eight fields, tab-separated, ending
// with a line feed:
//
//   VZRMSEAL1  RUN-START  REPORT  REPORT-SHA256  BLOCK-SHA256  PREVIOUS-SHA256
//   FINGERPRINT  SIGNATURE
//
// RUN-START is the run's start, local time, "YYYY-MM-DDTHH:MM:SS"; REPORT is
// the report file's name in the folder, or "-" (a run without a report),
// and then REPORT-SHA256 is "-" too; BLOCK-SHA256 is the digest of the
// summary block as written; PREVIOUS-SHA256 the digest of the line before
// (its text without the line feed), 64 zeros for the first line;
// FINGERPRINT the SHA-256 of the public key; SIGNATURE the Ed25519
// signature, in hex, of the line's text up to the tab before it.
#pragma once

#include <string>
#include <string_view>

#include "base/local_date_time.h"
#include "platform/seal.h"

namespace vzrm {

inline constexpr char kSealFormat[] = "VZRMSEAL1";
// Longer lines are not of this format (a report name is far shorter).
inline constexpr std::size_t kMaxSealLine = 4096;
// The digest that the first line names as the one before it.
inline const std::string kNoPreviousLine(64, '0');

struct SEAL_LINE {
    std::string runStart;
    std::string report;        // empty: none
    std::string reportDigest;  // empty when there is no report
    std::string blockDigest;
    std::string previous;
    std::string fingerprint;
    std::string signature;
};

// The run start as a seal line holds it.
std::string SealTime(const CLocalDateTime& time);
// The text a line's signature covers: its first seven fields.
std::string SealSignedPart(const SEAL_LINE& line);
// The line's text (without its line feed), its fingerprint and signature
// made with `key`.
std::string SealLineText(SEAL_LINE line, const platform::SealSigningKey& key);
// False, with what is wrong, for a text that is not a line of this format.
bool ParseSealLine(std::string_view text, SEAL_LINE& line, std::string& why);

}  // namespace vzrm
