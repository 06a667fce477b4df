#include "report/report_seal.h"

#include <array>
#include <cstdio>
#include <vector>

namespace vzrm {
namespace {

constexpr char kNone[] = "-";

bool IsHex(std::string_view text, std::size_t size) {
    if (text.size() != size) {
        return false;
    }
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// "YYYY-MM-DDTHH:MM:SS".
bool IsSealTime(std::string_view text) {
    static constexpr char kForm[] = "dddd-dd-ddTdd:dd:dd";
    if (text.size() != sizeof kForm - 1) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kForm[i] == 'd' ? !(text[i] >= '0' && text[i] <= '9') : text[i] != kForm[i]) {
            return false;
        }
    }
    return true;
}

// A report's name: printable, no separator, no folder.
bool IsReportName(std::string_view text) {
    if (text.empty() || text == "." || text == "..") {
        return false;
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '/' || c == '\x7f') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string SealTime(const CLocalDateTime& time) {
    platform::CalendarFields f;
    if (!time.GetFields(f)) {
        return "0000-00-00T00:00:00";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", f.year % 10000, f.month,
                  f.day, f.hour, f.minute, f.second);
    return text;
}

std::string SealSignedPart(const SEAL_LINE& line) {
    const bool report = !line.report.empty();
    return std::string(kSealFormat) + "\t" + line.runStart + "\t" + (report ? line.report : kNone) +
           "\t" + (report ? line.reportDigest : kNone) + "\t" + line.blockDigest + "\t" +
           line.previous + "\t" + line.fingerprint;
}

std::string SealLineText(SEAL_LINE line, const platform::SealSigningKey& key) {
    line.fingerprint = key.publicKey.Fingerprint();
    const std::string signedPart = SealSignedPart(line);
    return signedPart + "\t" + platform::SealSignature(key, signedPart);
}

bool ParseSealLine(std::string_view text, SEAL_LINE& line, std::string& why) {
    if (text.size() > kMaxSealLine) {
        why = "longer than a seal line can be";
        return false;
    }
    std::vector<std::string_view> fields;
    for (std::size_t at = 0;;) {
        const std::size_t tab = text.find('\t', at);
        fields.push_back(text.substr(at, tab == std::string_view::npos ? tab : tab - at));
        if (tab == std::string_view::npos) {
            break;
        }
        at = tab + 1;
    }
    if (fields.size() != 8 || fields[0] != kSealFormat) {
        why = "not a seal line of this program";
        return false;
    }
    const bool report = fields[2] != kNone;
    if (!IsSealTime(fields[1]) || (report && !IsReportName(fields[2])) ||
        (report ? !IsHex(fields[3], 64) : fields[3] != kNone) || !IsHex(fields[4], 64) ||
        !IsHex(fields[5], 64) || !IsHex(fields[6], 64) || !IsHex(fields[7], 128)) {
        why = "a field is not of the seal's format";
        return false;
    }
    line.runStart = fields[1];
    line.report = report ? std::string(fields[2]) : std::string();
    line.reportDigest = report ? std::string(fields[3]) : std::string();
    line.blockDigest = fields[4];
    line.previous = fields[5];
    line.fingerprint = fields[6];
    line.signature = fields[7];
    return true;
}

}  // namespace vzrm
