// One interpreted file-access audit event, as every stage of a run passes it on.
#pragma once

#include <cstdint>
#include <string>

namespace vzrm {

enum AUDIT_ACTION : std::uint32_t {
    ACTION_NONE = 0,
    ACTION_CREATE = 1,
    ACTION_OPEN = 2,
    ACTION_WRITE = 4,
    ACTION_CLOSE = 8,
    ACTION_DELETE = 16,
    // Not reported; they only steer the pairing.
    ACTION_OTHER_ACCESS = 256,
    ACTION_READ_DATA = 512,
    ACTION_READ_ATTRIBUTES = 1024,
};

// True for the five actions a report row can show.
constexpr bool IsReportAction(std::uint32_t action) {
    return action == ACTION_CREATE || action == ACTION_OPEN || action == ACTION_WRITE ||
           action == ACTION_CLOSE || action == ACTION_DELETE;
}

struct AUDIT_RECORD {
    std::string user;
    std::string computer;
    std::string objectName;
    std::uint32_t handleId = 0;
    std::uint32_t processId = 0;
    std::string processName;
    std::int64_t time = 0;  // seconds since 1970-01-01 00:00 UTC
    std::uint32_t eventId = 0;
    std::uint64_t recordNumber = 0;
    AUDIT_ACTION action = ACTION_NONE;

    bool operator==(const AUDIT_RECORD&) const = default;
};

}  // namespace vzrm
