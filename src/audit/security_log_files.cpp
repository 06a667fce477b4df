// Which files a read covers: the live Security log, and before it, when asked
// for, the logs archived beside it, each record read once.
#include "audit/security_log_reader.h"

#include "base/error_info.h"
#include "base/error_texts.h"
#include "platform/error_codes.h"

namespace vzrm {
namespace {

const std::string kSecurity = "Security";

}  // namespace

bool CSecurityLogReader::FirstSight(const std::string& computer, std::uint64_t recordNumber) {
    // A record without a number cannot be recognised again: it is kept.
    return recordNumber == 0 || readRecords_.FirstSight(computer, recordNumber);
}

int CSecurityLogReader::ReadLogs() {
    readRecords_.Clear();
    if (readArchives_) {
        std::string folder;
        std::vector<std::string> archives;
        if (const std::int32_t error = platform::ListArchivedLogs(kSecurity, folder, archives)) {
            g_errorInfo.SetError("KWMBQDHTRZAXLEV", error, {}, StrgLine(folder));
            return 0;
        }
        for (const std::string& archive : archives) {
            if (IsReaderStopped()) {
                return 1;  // the caller sees the stop
            }
            if (ReadLog(kSecurity, archive) == 0) {
                g_errorInfo.AddErrPoint("FJXQTNMWPLRGDCE");
                g_errorInfo.AddErrTextExt(StrgLine(archive));
                return 0;
            }
        }
    }
    return ReadLog(kSecurity);
}

CLocalDateTime CSecurityLogReader::GetOldestEventTime() {
    if (!OpenReader()) {
        return {};
    }
    probe_ = true;
    hasStart_ = hasEnd_ = false;
    std::int64_t oldest = 0;
    const auto probe = [&](const std::string& archive) {
        probeTime_ = 0;
        ReadLog(kSecurity, archive);
        if (probeTime_ != 0 && (oldest == 0 || probeTime_ < oldest)) {
            oldest = probeTime_;
        }
    };
    if (readArchives_) {
        // Archives that cannot be listed are not read either; the run says why.
        std::string folder;
        std::vector<std::string> archives;
        if (platform::ListArchivedLogs(kSecurity, folder, archives) == platform::kErrorSuccess) {
            for (const std::string& archive : archives) {
                probe(archive);
            }
        }
    }
    probe({});
    probe_ = false;
    return oldest == 0 ? CLocalDateTime() : InstantToLocalDateTime(oldest);
}

}  // namespace vzrm
