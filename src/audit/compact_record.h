// A record as a read keeps it: AUDIT_RECORD with its four texts as ids in the
// read's text pool, 48 bytes in place of four strings.
#pragma once

#include <cstdint>

#include "audit/audit_record.h"
#include "audit/text_pool.h"

namespace vzrm {

struct CompactRecord {
    std::int64_t time = 0;
    std::uint64_t recordNumber = 0;
    CTextPool::Id user = 0;
    CTextPool::Id computer = 0;
    CTextPool::Id objectName = 0;
    CTextPool::Id processName = 0;
    std::uint32_t handleId = 0;
    std::uint32_t processId = 0;
    std::uint32_t eventId = 0;
    AUDIT_ACTION action = ACTION_NONE;
};

// Its texts interned in `texts`.
CompactRecord Compact(const AUDIT_RECORD& record, CTextPool& texts);
// Into `out`, whose strings keep their buffers from one record to the next.
void Expand(const CompactRecord& record, const CTextPool& texts, AUDIT_RECORD& out);

}  // namespace vzrm
